// The Sticky Keys, Filter Keys and Toggle Keys hot keys through
// SystemParametersInfoW, changed for the session only (no SPIF_UPDATEINIFILE).
#pragma once

#include "guard/accessibility.h"

class Win32AccessibilityStore : public AccessibilityStore {
public:
    bool HotKeyActive(Shortcut shortcut, bool& active) override;
    bool SetHotKeyActive(Shortcut shortcut, bool active) override;
};
