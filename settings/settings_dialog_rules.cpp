#include "settings/settings_dialog_rules.h"

#include <cmath>
#include <limits>

ScreenPoint ClientPointFromMessage(uint32_t lParam)
{
    ScreenPoint point;
    point.x = int32_t(lParam & 0xFFFFu);
    point.y = int32_t((lParam >> 16) & 0xFFFFu);
    return point;
}

bool IsStrictlyInside(const ScreenRect& frame, const ScreenPoint& point)
{
    return frame.left < point.x && point.x < frame.right && frame.top < point.y && point.y < frame.bottom;
}

namespace {

uint64_t Magnitude(int64_t difference)
{
    return difference < 0 ? uint64_t(-difference) : uint64_t(difference);
}

// Largest r with r * r <= n; the double square root is only the first guess.
uint64_t FloorSqrt(uint64_t n)
{
    uint64_t root = uint64_t(std::sqrt(double(n)));
    const uint64_t rootLimit = 0xFFFFFFFFu;  // (2^32)^2 no longer fits
    if (root > rootLimit)
        root = rootLimit;
    while (root * root > n)
        --root;
    while (root < rootLimit && (root + 1) * (root + 1) <= n)
        ++root;
    return root;
}

// A 128-bit unsigned value as two halves, so the overflowing case stays
// exact without a compiler extension.
struct WideValue {
    uint64_t high = 0;
    uint64_t low = 0;
};

WideValue Add(WideValue value, uint64_t addend)
{
    value.low += addend;
    if (value.low < addend)
        ++value.high;
    return value;
}

WideValue SquareOf(uint64_t value)
{
    const uint64_t high = value >> 32;
    const uint64_t low = value & 0xFFFFFFFFu;
    const uint64_t cross = high * low;
    WideValue square{high * high, low * low};
    for (int i = 0; i < 2; ++i) {
        square.high += cross >> 32;
        square = Add(square, cross << 32);
    }
    return square;
}

bool NotAbove(const WideValue& a, const WideValue& b)
{
    return a.high < b.high || (a.high == b.high && a.low <= b.low);
}

}  // namespace

int64_t DragDistance(const ScreenPoint& start, const ScreenPoint& sample)
{
    // Each difference needs 33 bits and each square up to 64; only their sum
    // can overflow, for points no screen has.
    uint64_t dx = Magnitude(int64_t(start.x) - int64_t(sample.x));
    uint64_t dy = Magnitude(int64_t(start.y) - int64_t(sample.y));
    uint64_t dx2 = dx * dx;
    uint64_t dy2 = dy * dy;
    if (dx2 <= std::numeric_limits<uint64_t>::max() - dy2)
        return int64_t(FloorSqrt(dx2 + dy2));
    // The double root can be off by one either way here: correct it on the
    // exact 65-bit sum.
    const WideValue sum = Add(WideValue{0, dx2}, dy2);
    uint64_t root = uint64_t(std::hypot(double(dx), double(dy)));
    while (!NotAbove(SquareOf(root), sum))
        --root;
    while (NotAbove(SquareOf(root + 1), sum))
        ++root;
    return int64_t(root);
}

bool BeginDrag(DragState& state, const ScreenPoint& start, const ScreenRect& frame)
{
    state.start = start;
    if (!IsStrictlyInside(frame, start))
        return false;
    state.dragging = true;
    return true;
}

std::optional<int64_t> DragMove(DragState& state, bool leftButtonDown, const ScreenPoint& cursorNow)
{
    if (!state.dragging || !leftButtonDown)
        return std::nullopt;
    state.sample = cursorNow;
    return DragDistance(state.start, state.sample);
}

bool EndDrag(DragState& state)
{
    if (!state.dragging)
        return false;
    state.dragging = false;
    return true;
}

std::string SensitivityFieldText(int64_t value)
{
    return std::to_string(value).substr(0, SENSITIVITY_TEXT_BYTES - 1);
}

int32_t ParseSensitivity(const std::string& text)
{
    // Nine characters hold at most nine digits, so the value always fits.
    const std::string field = text.substr(0, SENSITIVITY_TEXT_BYTES - 1);
    size_t pos = 0;
    while (pos < field.size() && (field[pos] == ' ' || (field[pos] >= '\t' && field[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < field.size() && (field[pos] == '+' || field[pos] == '-')) {
        negative = field[pos] == '-';
        ++pos;
    }
    int64_t value = 0;
    while (pos < field.size() && field[pos] >= '0' && field[pos] <= '9') {
        value = value * 10 + (field[pos] - '0');
        ++pos;
    }
    return int32_t(negative ? -value : value);
}

SettingsDialogEntries EntriesFromSettings(const Settings& settings)
{
    SettingsDialogEntries entries;
    entries.sensitivityText = SensitivityFieldText(settings.sensitivity.load());
    entries.dailyUpdateCheck = settings.HasFlag(FLAG_DAILY_UPDATE_CHECK);
    entries.password = settings.GetPassword();
    entries.serverUser = settings.GetServerUser();
    entries.serverPass = settings.GetServerPass();
    entries.useSmsService = settings.HasFlag(FLAG_SMS_SERVICE);
    return entries;
}

bool StoreSettingsDialogEntries(Settings& settings, const SettingsDialogEntries& entries)
{
    // No range check: 0 and negative sensitivities are stored as typed.
    settings.sensitivity = ParseSensitivity(entries.sensitivityText);
    settings.SetFlag(FLAG_DAILY_UPDATE_CHECK, entries.dailyUpdateCheck);
    settings.SetPassword(entries.password);
    settings.SetServerUser(entries.serverUser);
    settings.SetServerPass(entries.serverPass);
    settings.SetFlag(FLAG_SMS_SERVICE, entries.useSmsService);
    return entries.useSmsService;
}
