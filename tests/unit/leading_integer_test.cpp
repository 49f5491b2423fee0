// atoi as the program reads a typed sensitivity and a service's numbers.
#include <gtest/gtest.h>

#include <string>

#include "settings/leading_integer.h"

namespace {

TEST(LeadingInteger, LikeTheCLibraryButSaturating)
{
    const struct {
        std::string text;
        int32_t value;
    } cases[] = {
        {"41", 41},
        {"  41x", 41},
        {" -7x", -7},
        {"\t-12", -12},
        {"\t\n 30 40", 30},
        {"+7", 7},
        {"0041", 41},
        {"5-3", 5},
        {"", 0},
        {"abc", 0},
        {"x12", 0},
        {"-", 0},
        {"- 5", 0},  // no space between sign and digits
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
        {std::string(" 1\0" "2", 4), 1},  // a zero byte ends the number
    };
    for (const auto& c : cases)
        EXPECT_EQ(LeadingInteger(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
