#include "settings/settings.h"

#include <algorithm>

void Settings::SetPassword(const std::u16string& text)
{
    // Up to a NUL, at most 9 units, zeros after.
    const std::u16string kept = text.substr(0, std::min(text.find(u'\0'), PASSWORD_UNITS - 1));
    std::fill(std::begin(password), std::end(password), u'\0');
    std::copy(kept.begin(), kept.end(), password);
}
