#include "guard/alarm_cause.h"

#include <iterator>

namespace {

// In the order of AlarmCause.
const char* const CAUSE_TEXTS[] = {
    "an unknown cause",
    "the mouse was moved",
    "the power cable was pulled or plugged in",
    "a shutdown, restart or log-off was asked for",
    "the laptop went to sleep or woke up",
    "the lid was closed",
    "a USB mouse or other input device was unplugged",
    "someone left the guard screen (Ctrl+Alt+Del, Task Manager or the lock screen)",
    "the Windows session was switched, disconnected or taken over remotely",
    "an unexpected failure inside the armed program",
    "wrong passwords were typed at the guard, five since it was armed",
};
static_assert(std::size(CAUSE_TEXTS) == size_t(AlarmCause::WrongPasswords) + 1, "one text for each cause");

}  // namespace

const char* AlarmCauseText(AlarmCause cause)
{
    // A posted cause is any number: one past the last reads as unknown.
    return size_t(cause) < std::size(CAUSE_TEXTS) ? CAUSE_TEXTS[size_t(cause)] : CAUSE_TEXTS[0];
}
