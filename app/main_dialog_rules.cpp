#include "app/main_dialog_rules.h"

#include "resources/resource_ids.h"
#include "settings/settings.h"

const TriggerCheckBox TRIGGER_CHECK_BOXES[4] = {
    {IDC_MAIN_TRIGGER_POWER, FLAG_TRIGGER_POWER},
    {IDC_MAIN_TRIGGER_USB_MOUSE, FLAG_TRIGGER_USB_MOUSE},
    {IDC_MAIN_TRIGGER_MOUSE_MOVE, FLAG_TRIGGER_MOUSE_MOVE},
    {IDC_MAIN_TRIGGER_SHUTDOWN, FLAG_TRIGGER_SHUTDOWN},
};

uint32_t FlagsFromCheckBoxes(uint32_t flags, const bool ticked[4])
{
    for (int i = 0; i < 4; ++i)
        flags = ticked[i] ? flags | TRIGGER_CHECK_BOXES[i].flag : flags & ~TRIGGER_CHECK_BOXES[i].flag;
    return flags;
}
