// The lock hot key: the stored modifier bits ("HotKey" bits 8..15) beside
// the hot-key control's, and the key's name for the owner's log.
#pragma once

#include <cstdint>
#include <string>

// Stored, as RegisterHotKey takes them (MOD_ALT, MOD_CONTROL, MOD_SHIFT,
// MOD_WIN; checked against the SDK where it is included).
constexpr uint32_t STORED_ALT = 1, STORED_CONTROL = 2, STORED_SHIFT = 4, STORED_WIN = 8;
// The control's (HOTKEYF_SHIFT, HOTKEYF_CONTROL, HOTKEYF_ALT, HOTKEYF_EXT).
constexpr uint32_t CONTROL_SHIFT = 1, CONTROL_CONTROL = 2, CONTROL_ALT = 4, CONTROL_EXTENDED = 8;

struct StoredHotKey {
    uint32_t modifiers = 0;
    uint32_t code = 0;  // virtual-key code; 0: no hot key
};

// The control's word (HKM_SETHOTKEY): the key in the low byte, its bits in
// the high one, the extended bit set for the keys that have one so that the
// control names them (Up, not Num 8). The Windows key cannot be shown.
uint16_t HotKeyControlValue(const StoredHotKey& stored);

// What OK stores from the control's word: the key as it was (the Windows
// key included) while the word is the one shown; otherwise the control's
// bits converted, its extended bit dropped. A cleared control is no hot key.
StoredHotKey HotKeyFromControl(uint16_t typed, const StoredHotKey& before);

// "Ctrl+Alt+Num 7", as the owner's log names the key.
std::string HotKeyName(const StoredHotKey& key);
