#include "app/hot_key.h"

#include <cstdio>
#include <utility>

namespace {

// Page Up to Down, Insert, Delete and the number pad's divide: the codes
// whose keys send the extended flag.
bool IsExtendedKey(uint32_t code)
{
    return (code >= 0x21 && code <= 0x28) || code == 0x2D || code == 0x2E || code == 0x6F;
}

}  // namespace

uint16_t HotKeyControlValue(const StoredHotKey& stored)
{
    uint32_t bits = IsExtendedKey(stored.code) ? CONTROL_EXTENDED : 0;
    bits |= (stored.modifiers & STORED_SHIFT) ? CONTROL_SHIFT : 0;
    bits |= (stored.modifiers & STORED_CONTROL) ? CONTROL_CONTROL : 0;
    bits |= (stored.modifiers & STORED_ALT) ? CONTROL_ALT : 0;
    return uint16_t(bits << 8 | (stored.code & 0xFF));
}

StoredHotKey HotKeyFromControl(uint16_t typed, const StoredHotKey& before)
{
    if (typed == HotKeyControlValue(before))
        return before;
    const uint32_t bits = typed >> 8;
    StoredHotKey key{0, typed & 0xFFu};
    if (key.code == 0)
        return {};
    key.modifiers |= (bits & CONTROL_SHIFT) ? STORED_SHIFT : 0;
    key.modifiers |= (bits & CONTROL_CONTROL) ? STORED_CONTROL : 0;
    key.modifiers |= (bits & CONTROL_ALT) ? STORED_ALT : 0;
    return key;
}

std::string HotKeyName(const StoredHotKey& key)
{
    std::string name;
    const std::pair<uint32_t, const char*> modifiers[] = {
        {STORED_CONTROL, "Ctrl+"}, {STORED_ALT, "Alt+"}, {STORED_SHIFT, "Shift+"}, {STORED_WIN, "Win+"}};
    for (const auto& [bit, text] : modifiers)
        name += (key.modifiers & bit) ? text : "";
    const uint32_t code = key.code;
    char buffer[16];
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        std::snprintf(buffer, sizeof buffer, "%c", char(code));
    else if (code >= 0x60 && code <= 0x69)  // the number pad's digits
        std::snprintf(buffer, sizeof buffer, "Num %u", unsigned(code - 0x60));
    else if (code >= 0x70 && code <= 0x87)
        std::snprintf(buffer, sizeof buffer, "F%u", unsigned(code - 0x6F));
    else
        std::snprintf(buffer, sizeof buffer, "key 0x%02X", unsigned(code));
    const std::pair<uint32_t, const char*> named[] = {{0x08, "Backspace"}, {0x09, "Tab"}, {0x0D, "Enter"},
        {0x13, "Pause"}, {0x20, "Space"}, {0x21, "Page Up"}, {0x22, "Page Down"}, {0x23, "End"}, {0x24, "Home"},
        {0x25, "Left"}, {0x26, "Up"}, {0x27, "Right"}, {0x28, "Down"}, {0x2D, "Insert"}, {0x2E, "Delete"},
        {0x6A, "Num *"}, {0x6B, "Num +"}, {0x6D, "Num -"}, {0x6E, "Num ."}, {0x6F, "Num /"}};
    for (const auto& [namedCode, text] : named)
        if (namedCode == code)
            return name + text;
    return name + buffer;
}
