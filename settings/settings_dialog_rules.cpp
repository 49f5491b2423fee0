#include "settings/settings_dialog_rules.h"

#include <algorithm>
#include <cmath>

#include "online/push_notice.h"
#include "settings/leading_integer.h"

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

// Client coordinates are 16-bit and a cursor lies on the screen, so no real
// point is this far out: clamped, the sum of the squares stays below 2^36 and
// a double root of it floors exactly.
constexpr int64_t DRAG_COORDINATE_LIMIT = 0x10000;

int64_t Clamped(int32_t coordinate)
{
    return std::clamp<int64_t>(coordinate, -DRAG_COORDINATE_LIMIT, DRAG_COORDINATE_LIMIT);
}

}  // namespace

int64_t DragDistance(const ScreenPoint& start, const ScreenPoint& sample)
{
    const int64_t dx = Clamped(start.x) - Clamped(sample.x);
    const int64_t dy = Clamped(start.y) - Clamped(sample.y);
    return int64_t(std::sqrt(double(dx * dx + dy * dy)));
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
    return LeadingInteger(text.substr(0, SENSITIVITY_TEXT_BYTES - 1));
}

SettingsDialogEntries EntriesFromSettings(const Settings& settings)
{
    SettingsDialogEntries entries;
    entries.sensitivityText = SensitivityFieldText(settings.sensitivity);
    entries.dailyUpdateCheck = settings.HasFlag(FLAG_DAILY_UPDATE_CHECK);
    entries.password = settings.GetPassword();
    entries.serverUser = settings.GetServerUser();
    entries.serverPass = settings.GetServerPass();
    entries.useSmsService = settings.HasFlag(FLAG_SMS_SERVICE);
    entries.notifyUrl = settings.GetNotifyUrl();
    return entries;
}

const char* NotifyUrlRefusal(const std::u16string& typed)
{
    for (char16_t unit : typed) {
        if (unit >= 0x80)
            return PushAddressRefusal(PushAddressCheck::BadCharacter);
    }
    return PushAddressRefusal(CheckPushAddress(NotifyUrlText(typed)));
}

std::string NotifyUrlText(const std::u16string& typed)
{
    std::string text;
    for (char16_t unit : typed)
        text.push_back(static_cast<char>(unit));
    return text;
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
    settings.SetNotifyUrl(entries.notifyUrl);
    return entries.useSmsService;
}
