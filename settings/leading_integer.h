// atoi as this program reads typed and received numbers, without the C
// library's locale or its undefined overflow.
#pragma once

#include <cstdint>
#include <string>

// The leading decimal integer of a text: optional white space, an optional
// sign, digits; no digits gives 0. Saturates instead of overflowing.
int32_t LeadingInteger(const std::string& text);
