// What the main dialog decides, apart from the controls that show it.
#pragma once

#include <cstdint>

struct TriggerCheckBox {
    int controlId;
    uint32_t flag;
};

// The four trigger boxes, in the order they are read back.
extern const TriggerCheckBox TRIGGER_CHECK_BOXES[4];

// The flag word with each trigger bit taken from its box.
uint32_t FlagsFromCheckBoxes(uint32_t flags, const bool ticked[4]);
