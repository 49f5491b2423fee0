#include "settings/settings.h"

#include <algorithm>

void Settings::SetPassword(const std::u16string& text)
{
    size_t length = std::min(text.size(), PASSWORD_UNITS - 1);
    size_t end = text.find(u'\0');
    if (end < length)
        length = end;
    std::fill(std::begin(password), std::end(password), u'\0');
    std::copy(text.begin(), text.begin() + length, password);
}
