#include "settings/leading_integer.h"

#include <algorithm>
#include <cstdint>

int32_t LeadingInteger(const std::string& text)
{
    // C-locale white space, whatever the machine's locale.
    size_t pos = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    int64_t value = 0;  // held at one past the largest int32, the smallest's magnitude
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = std::min<int64_t>(value * 10 + (text[pos] - '0'), int64_t(INT32_MAX) + 1);
    return int32_t(std::clamp<int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX));
}
