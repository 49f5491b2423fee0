#include "settings/leading_integer.h"

#include <algorithm>
#include <limits>

int32_t LeadingInteger(const std::string& text)
{
    // C-locale white space, whatever the machine's locale.
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int64_t value = 0;
    const int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = std::min(value * 10 + (text[pos] - '0'), limit);
    return int32_t(negative ? -value : std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}
