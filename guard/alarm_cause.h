// Why an alarm started, in words the owner reads on the phone. A new way in
// gets a value here and its text at the same place in AlarmCauseText's
// table; nothing else needs to know.
// Portable: no Windows headers.
#pragma once

#include <cstdint>

enum class AlarmCause : uint8_t {
    Unknown,
    MouseMoved,
    PowerSource,       // the power cable pulled (or plugged in)
    ShutdownOrLogOff,  // a shutdown, restart or log-off asked for
    Sleep,             // the machine went to sleep or woke from it
    LidClosed,
    InputDeviceRemoved,  // a USB mouse or other input device unplugged
    DesktopSwitch,       // the screen taken away from the guard (Ctrl+Alt+Del, Task Manager, a lock)
    SessionChange,       // the session disconnected, switched or taken remotely
    CallbackFailure,     // an unexpected failure inside the armed program
    WrongPasswords,      // the fifth wrong password since arming
};

// One short English phrase, no trailing full stop.
const char* AlarmCauseText(AlarmCause cause);
