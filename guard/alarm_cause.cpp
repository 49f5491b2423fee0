#include "guard/alarm_cause.h"

const char* AlarmCauseText(AlarmCause cause)
{
    switch (cause) {
    case AlarmCause::MouseMoved:
        return "the mouse was moved";
    case AlarmCause::PowerSource:
        return "the power cable was pulled or plugged in";
    case AlarmCause::ShutdownOrLogOff:
        return "a shutdown, restart or log-off was asked for";
    case AlarmCause::Sleep:
        return "the laptop went to sleep or woke up";
    case AlarmCause::LidClosed:
        return "the lid was closed";
    case AlarmCause::InputDeviceRemoved:
        return "a USB mouse or other input device was unplugged";
    case AlarmCause::DesktopSwitch:
        return "someone left the guard screen (Ctrl+Alt+Del, Task Manager or the lock screen)";
    case AlarmCause::SessionChange:
        return "the Windows session was switched, disconnected or taken over remotely";
    case AlarmCause::CallbackFailure:
        return "an unexpected failure inside the armed program";
    case AlarmCause::WrongPasswords:
        return "wrong passwords were typed at the guard, five since it was armed";
    case AlarmCause::Unknown:
        break;
    }
    return "an unknown cause";
}
