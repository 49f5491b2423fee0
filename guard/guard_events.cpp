#include "guard/guard_events.h"

#include "settings/settings.h"

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
