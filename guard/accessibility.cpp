#include "guard/accessibility.h"

ShortcutsCleared ReadShortcutHotKeys(AccessibilityStore& store)
{
    ShortcutsCleared on = {};
    for (size_t shortcut = 0; shortcut < SHORTCUT_COUNT; ++shortcut) {
        bool active = false;
        on[shortcut] = store.HotKeyActive(Shortcut(shortcut), active) && active;
    }
    return on;
}

void ClearShortcutHotKeys(AccessibilityStore& store, const ShortcutsCleared& on)
{
    for (size_t shortcut = 0; shortcut < SHORTCUT_COUNT; ++shortcut)
        if (on[shortcut])
            store.SetHotKeyActive(Shortcut(shortcut), false);
}

void GiveBackShortcutHotKeys(AccessibilityStore& store, const ShortcutsCleared& cleared)
{
    for (size_t shortcut = 0; shortcut < SHORTCUT_COUNT; ++shortcut)
        if (cleared[shortcut])
            store.SetHotKeyActive(Shortcut(shortcut), true);
}
