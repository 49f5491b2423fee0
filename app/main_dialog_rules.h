// What the main dialog decides, apart from the controls that show it.
#pragma once

#include <cstdint>
#include <string>

struct TriggerCheckBox {
    int controlId;
    uint32_t flag;
};

// The four trigger boxes, in the order they are read back.
extern const TriggerCheckBox TRIGGER_CHECK_BOXES[4];

// The flag word with each trigger bit taken from its box.
uint32_t FlagsFromCheckBoxes(uint32_t flags, const bool ticked[4]);

// Locking with the SMS service on but no accepted login asks first.
bool LockNeedsLoginQuestion(uint32_t flags, bool loggedIn);

// The close box, Esc and WM_CLOSE (IDCANCEL).
constexpr int MAIN_COMMAND_CLOSE = 2;

// While armed, the commands that would end the program (close) or change
// what the guard compares (the settings: password, sensitivity) are refused;
// only the password at the guard ends the armed state.
bool RefusedWhileArmed(int command, bool armed);

// "SMS Balance: 42", or "SMS Balance: N/A" for a negative count.
std::string SmsBalanceText(int32_t balance);
