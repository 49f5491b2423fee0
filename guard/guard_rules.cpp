#include "guard/guard_rules.h"

namespace {

char16_t Lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool IsGuardDesktop(std::u16string_view name)
{
    const std::u16string_view guard = GUARD_DESKTOP_NAME;
    if (name.size() != guard.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Lower(name[i]) != Lower(guard[i]))
            return false;
    }
    return true;
}

}  // namespace

DesktopWatch WatchInputDesktop(bool opened, std::u16string_view name, bool guardDesktopSeen)
{
    if (!opened)
        return DesktopWatch::Sound;
    if (IsGuardDesktop(name))
        return guardDesktopSeen ? DesktopWatch::Nothing : DesktopWatch::GuardSeen;
    return guardDesktopSeen ? DesktopWatch::SoundSwitchBack : DesktopWatch::Nothing;
}

bool BatteryLow(uint8_t acLineStatus, uint8_t batteryLifePercent)
{
    constexpr uint8_t OFFLINE = 0;
    constexpr uint8_t UNKNOWN = 255;
    return acLineStatus == OFFLINE && batteryLifePercent != UNKNOWN && batteryLifePercent <= 10;
}
