// The accessibility shortcuts (five presses of Shift, holding right Shift,
// holding Num Lock) pass the keyboard filter, and their prompts lead into
// Settings. While armed their hot keys are off for this session only, and the
// owner's choice is given back at unlock.
#pragma once

#include "guard/give_back_record.h"

class AccessibilityStore {
public:
    virtual ~AccessibilityStore() = default;
    virtual bool HotKeyActive(Shortcut shortcut, bool& active) = 0;
    // For the session only: the owner's stored choice is never touched.
    virtual bool SetHotKeyActive(Shortcut shortcut, bool active) = 0;
};

// Which hot keys are on now (so which ones arming will switch off); one that
// cannot be read counts as off and is left alone.
ShortcutsCleared ReadShortcutHotKeys(AccessibilityStore& store);
void ClearShortcutHotKeys(AccessibilityStore& store, const ShortcutsCleared& on);
void GiveBackShortcutHotKeys(AccessibilityStore& store, const ShortcutsCleared& cleared);
