#include <gtest/gtest.h>

#include <string>

#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

TEST(ReplySizes, ByKindOnlyA2xxIsReadAndAnAlarmReplyAlways)
{
    const struct {
        int kind;
        uint32_t status;
        size_t bytes;
    } cases[] = {
        {KIND_UPDATE_CHECK, 200, 4},
        {KIND_ALARM_NOTICE, 299, 7},
        {KIND_NONCE, 204, 4},
        {KIND_ACCOUNT_INFO, 200, 10},
        {KIND_ALARM_NOTICE, 404, 8},  // judged by its words alone
        {KIND_ACCOUNT_INFO, 500, 0},
        {KIND_UPDATE_CHECK, 199, 0},
        {KIND_UPDATE_CHECK, 300, 0},
        {KIND_NONCE, 0, 0},
        {0, 200, 0},
        {5, 200, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyBytesToRead(c.kind, c.status), c.bytes) << c.kind << " " << c.status;
    EXPECT_LT(ReplyBytesToRead(KIND_ALARM_NOTICE, 500), REPLY_BUFFER_BYTES);
}

TEST(LeadingNumber, DecimalOnly)
{
    EXPECT_EQ(LeadingNumber("1.99"), 1.99);
    EXPECT_EQ(LeadingNumber("2"), 2.0);
    EXPECT_EQ(LeadingNumber(" 2.0\n"), 2.0);
    EXPECT_EQ(LeadingNumber("-3.5"), -3.5);
    EXPECT_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_EQ(LeadingNumber("2."), 2.0);
    EXPECT_EQ(LeadingNumber("abc"), 0.0);
    EXPECT_EQ(LeadingNumber("."), 0.0);
    EXPECT_EQ(LeadingNumber(""), 0.0);
    EXPECT_EQ(LeadingNumber("2e5"), 2.0);  // no exponent
    EXPECT_EQ(LeadingNumber("inf"), 0.0);
    EXPECT_EQ(LeadingNumber("0x10"), 0.0);
    EXPECT_EQ(LeadingNumber("2.10.3"), 2.1);  // one point
    EXPECT_EQ(LeadingNumber("0.000125"), 0.000125);
    EXPECT_EQ(LeadingNumber("007.50 beta"), 7.5);
}

// atoi as the program reads a typed sensitivity and a service's numbers.
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
        {"41.9", 41},
        {"-0.5", 0},
        {"", 0},
        {"abc", 0},
        {"x12", 0},
        {"-", 0},
        {"- 5", 0},  // no space between sign and digits
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
        {std::string(400, '9'), 2147483647},
        {std::string(" 1\0" "2", 4), 1},  // a zero byte ends the number
    };
    for (const auto& c : cases)
        EXPECT_EQ(LeadingInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(UpdateDate, DueUnlessTheStoredDateIsToday)
{
    const auto due = [](int8_t day, int8_t month, int16_t year) {
        Settings settings;
        settings.SetFlag(FLAG_DAILY_UPDATE_CHECK, true);
        settings.lastCheckedDay = day;
        settings.lastCheckedMonth = month;
        settings.lastCheckedYear = year;
        return TakeUpdateCheck(settings, UtcDate{2024, 3, 15});
    };
    EXPECT_FALSE(due(15, 3, 2024));
    EXPECT_TRUE(due(14, 3, 2024));
    EXPECT_TRUE(due(16, 3, 2024));  // a later date runs too
    EXPECT_TRUE(due(15, 4, 2024));
    EXPECT_TRUE(due(15, 3, 2023));
    EXPECT_TRUE(due(15, 3, 2025));
    EXPECT_TRUE(due(0, 0, 0));  // never checked
}

}  // namespace
