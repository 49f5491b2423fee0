#include "app/hot_key.h"

#include <utility>

namespace {

// Each stored modifier beside the control's bit, in the order names list them.
const std::pair<uint32_t, uint32_t> MODIFIER_BITS[] = {
    {STORED_CONTROL, CONTROL_CONTROL}, {STORED_ALT, CONTROL_ALT}, {STORED_SHIFT, CONTROL_SHIFT}};

}  // namespace

uint16_t HotKeyControlValue(const StoredHotKey& stored)
{
    // Page Up to Down, Insert, Delete and the number pad's divide: the keys
    // that send the extended flag.
    const uint32_t code = stored.code;
    const bool extended = (code >= 0x21 && code <= 0x28) || code == 0x2D || code == 0x2E || code == 0x6F;
    uint32_t bits = extended ? CONTROL_EXTENDED : 0;
    for (const auto& [storedBit, controlBit] : MODIFIER_BITS)
        bits |= (stored.modifiers & storedBit) ? controlBit : 0;
    return uint16_t(bits << 8 | (code & 0xFF));
}

StoredHotKey HotKeyFromControl(uint16_t typed, const StoredHotKey& before)
{
    if (typed == HotKeyControlValue(before))
        return before;
    StoredHotKey key{0, typed & 0xFFu};
    for (const auto& [storedBit, controlBit] : MODIFIER_BITS)
        key.modifiers |= (typed >> 8 & controlBit) ? storedBit : 0;
    return key.code ? key : StoredHotKey{};
}

std::string HotKeyName(const StoredHotKey& key)
{
    std::string name = key.modifiers & STORED_CONTROL ? "Ctrl+" : "";
    name += std::string(key.modifiers & STORED_ALT ? "Alt+" : "") + (key.modifiers & STORED_SHIFT ? "Shift+" : "") +
            (key.modifiers & STORED_WIN ? "Win+" : "");
    const uint32_t code = key.code;
    const char* const arrows[] = {"Left", "Up", "Right", "Down"};
    const char* const pad[] = {"*", "+", ",", "-", ".", "/"};
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return name + char(code);
    if (code >= 0x25 && code <= 0x28)
        return name + arrows[code - 0x25];
    if (code >= 0x60 && code <= 0x6F)  // the number pad
        return name + "Num " + (code <= 0x69 ? std::to_string(code - 0x60) : pad[code - 0x6A]);
    if (code >= 0x70 && code <= 0x87)
        return name + "F" + std::to_string(code - 0x6F);
    const char hex[] = "0123456789ABCDEF";
    return name + "key 0x" + hex[code >> 4 & 0xF] + hex[code & 0xF];
}
