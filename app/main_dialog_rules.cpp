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

bool LockNeedsLoginQuestion(uint32_t flags, bool loggedIn)
{
    return (flags & FLAG_SMS_SERVICE) != 0 && !loggedIn;
}

bool RefusedWhileArmed(int command, bool armed)
{
    return armed && (command == MAIN_COMMAND_CLOSE || command == IDC_MAIN_SETTINGS);
}

std::string SmsBalanceText(int32_t balance)
{
    return "SMS Balance: " + (balance < 0 ? std::string("N/A") : std::to_string(balance));
}
