#include "guard/guard_rules.h"

#include <algorithm>

DesktopWatch WatchInputDesktop(bool opened, std::u16string_view name, bool guardDesktopSeen)
{
    const auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; };
    const std::u16string_view guard = GUARD_DESKTOP_NAME;
    if (!opened)
        return DesktopWatch::Sound;
    if (std::equal(name.begin(), name.end(), guard.begin(), guard.end(),
                   [&](char16_t a, char16_t b) { return lower(a) == lower(b); }))
        return guardDesktopSeen ? DesktopWatch::Nothing : DesktopWatch::GuardSeen;
    return guardDesktopSeen ? DesktopWatch::SoundSwitchBack : DesktopWatch::Nothing;
}

bool BatteryLow(uint8_t acLineStatus, uint8_t batteryLifePercent)
{
    return acLineStatus == 0 && batteryLifePercent != 255 && batteryLifePercent <= 10;  // 0: offline; 255: unknown
}
