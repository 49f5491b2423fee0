// The accessibility shortcuts (five presses of Shift, holding right Shift,
// holding Num Lock) pass the keyboard filter, and their prompts lead into
// Settings. While armed the Sticky Keys, Filter Keys and Toggle Keys hot keys
// are off, through SystemParametersInfoW for this session only (no
// SPIF_UPDATEINIFILE: the owner's stored choice is never touched), and the
// owner's choice is given back at unlock.
#pragma once

#include "guard/give_back_record.h"

// Which hot keys are on now (so which ones arming will switch off); one that
// cannot be read counts as off and is left alone.
ShortcutsCleared ShortcutHotKeysOn() noexcept;
// Switches each hot key named in which on or off.
void SetShortcutHotKeys(const ShortcutsCleared& which, bool active) noexcept;
