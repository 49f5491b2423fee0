// The guard's rules with edges of their own: which desktop has the input,
// and a low battery. Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string_view>

// The guard's own desktop, as CreateDesktopW is given it.
constexpr char16_t GUARD_DESKTOP_NAME[] = u"Kestrova";

// What the desktop watch does at a timer tick or a desktop-switch event.
enum class DesktopWatch {
    Nothing,
    GuardSeen,        // the guard's desktop has the input for the first time since arming
    Sound,            // none we may open: the secure desktop of Ctrl+Alt+Del, the lock screen
    SoundSwitchBack,  // another we may open (the owner's, after Task Manager): switched away from too
};

// From whether the input desktop could be opened, its name (desktop names
// compare without regard to case) and whether the guard's desktop has had the
// input since arming: until it has, a foreign desktop proves nothing, as the
// first switch may not have happened yet.
DesktopWatch WatchInputDesktop(bool opened, std::u16string_view name, bool guardDesktopSeen);

// GetSystemPowerStatus's ACLineStatus and BatteryLifePercent: on battery
// (offline) with 10 % or less left. 255 is "unknown" in both.
bool BatteryLow(uint8_t acLineStatus, uint8_t batteryLifePercent);
