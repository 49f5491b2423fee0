#include "app/settings_dialog_rules.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/hot_key.h"
#include "online/push_notice.h"
#include "online/service_protocol.h"

ScreenPoint ClientPointFromMessage(uint32_t lParam)
{
    return {int32_t(lParam & 0xFFFFu), int32_t(lParam >> 16)};
}

int64_t DragDistance(const ScreenPoint& start, const ScreenPoint& sample)
{
    // Client coordinates are 16-bit and a cursor lies on the screen, so no
    // real point is this far out: clamped, the sum of the squares stays below
    // 2^36 and a double root of it floors exactly.
    const auto clamped = [](int32_t coordinate) { return std::clamp<int64_t>(coordinate, -0x10000, 0x10000); };
    const int64_t dx = clamped(start.x) - clamped(sample.x);
    const int64_t dy = clamped(start.y) - clamped(sample.y);
    return int64_t(std::sqrt(double(dx * dx + dy * dy)));
}

bool BeginDrag(DragState& state, const ScreenPoint& start, const ScreenRect& frame)
{
    state.start = start;
    // A click on the frame's border does not count.
    const bool inside = frame.left < start.x && start.x < frame.right && frame.top < start.y && start.y < frame.bottom;
    state.dragging = state.dragging || inside;
    return inside;
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
    return std::exchange(state.dragging, false);
}

std::string SensitivityFieldText(int64_t value)
{
    return std::to_string(value).substr(0, SENSITIVITY_TEXT_BYTES - 1);
}

SettingsDialogEntries EntriesFromSettings(const Settings& settings)
{
    return {SensitivityFieldText(settings.sensitivity), settings.HasFlag(FLAG_DAILY_UPDATE_CHECK),
            settings.GetPassword(), settings.GetServerUser(), settings.GetServerPass(),
            settings.HasFlag(FLAG_SMS_SERVICE), settings.notifyUrl, settings.notifyKind,
            HotKeyControlValue({settings.hotKeyModifiers, settings.hotKeyCode}), settings.startWithWindows,
            settings.takePhotos};
}

const char* NotifyUrlRefusal(const std::u16string& typed)
{
    return PushAddressRefusal(NotifyUrlText(typed));
}

std::string NotifyUrlText(const std::u16string& typed)
{
    const char16_t spaces[] = u" \t\r\n\u00a0\u3000";  // the ideographic space, from a Chinese input method
    const size_t first = typed.find_first_not_of(spaces);
    std::string text;
    for (size_t at = first; at <= typed.find_last_not_of(spaces) && first != std::u16string::npos; ++at)
        text.push_back(typed[at] < 0x80 ? char(typed[at]) : '\x80');
    const size_t scheme = text.find("://");
    return text.empty() || (scheme != std::string::npos && scheme < text.find('/')) ? text : "https://" + text;
}

bool StoreSettingsDialogEntries(Settings& settings, const SettingsDialogEntries& entries)
{
    // atoi on what the edit's buffer holds, without a range check: 0 and
    // negative sensitivities are stored as typed.
    settings.sensitivity = LeadingInteger(entries.sensitivityText.substr(0, SENSITIVITY_TEXT_BYTES - 1));
    settings.SetFlag(FLAG_DAILY_UPDATE_CHECK, entries.dailyUpdateCheck);
    settings.SetPassword(entries.password);
    settings.SetServerUser(entries.serverUser);
    settings.SetServerPass(entries.serverPass);
    settings.SetFlag(FLAG_SMS_SERVICE, entries.useSmsService);
    settings.notifyUrl = entries.notifyUrl;
    settings.notifyKind = entries.notifyKind;
    const StoredHotKey hotKey = HotKeyFromControl(entries.hotKey, {settings.hotKeyModifiers, settings.hotKeyCode});
    settings.hotKeyModifiers = hotKey.modifiers;
    settings.hotKeyCode = hotKey.code;
    settings.startWithWindows = entries.startWithWindows;
    settings.takePhotos = entries.takePhotos;
    return entries.useSmsService;
}
