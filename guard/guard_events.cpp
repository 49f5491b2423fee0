#include "guard/guard_events.h"

#include "settings/settings.h"

const char* AlarmCauseText(AlarmCause cause)
{
    switch (cause) {
    case AlarmCause::MouseMoved:
        return "the mouse was moved";
    case AlarmCause::DesktopSwitched:
        return "the screen was switched away from the guard";
    case AlarmCause::ShutdownAsked:
        return "a shutdown, restart or log-off was asked for";
    case AlarmCause::SleepOrResume:
        return "the machine went to sleep or woke up";
    case AlarmCause::LidClosed:
        return "the lid was closed";
    case AlarmCause::PowerSource:
        return "the power source changed";
    case AlarmCause::DeviceRemoved:
        return "a USB input device was removed";
    case AlarmCause::SessionChanged:
        return "the session changed";
    case AlarmCause::CallbackFailure:
        return "a failure inside the program";
    case AlarmCause::Unknown:
        break;
    }
    return "unknown";
}

std::string ArmedEventText(uint32_t flags)
{
    struct Trigger {
        uint32_t bit;
        const char* name;
    };
    static const Trigger TRIGGERS[] = {
        {FLAG_TRIGGER_POWER, "power cable"},
        {FLAG_TRIGGER_SHUTDOWN, "shutdown or log-off"},
        {FLAG_TRIGGER_USB_MOUSE, "USB mouse"},
        {FLAG_TRIGGER_MOUSE_MOVE, "mouse moved"},
    };
    std::string text = "Armed; triggers:";
    const char* separator = " ";
    for (const Trigger& trigger : TRIGGERS) {
        if ((flags & trigger.bit) != 0) {
            text += separator;
            text += trigger.name;
            separator = ", ";
        }
    }
    if (*separator == ' ')
        text += " none";
    if ((flags & FLAG_SMS_SERVICE) != 0)
        text += "; SMS alarm on";
    return text;
}
