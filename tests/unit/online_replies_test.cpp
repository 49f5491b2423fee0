#include <gtest/gtest.h>

#include <string>

#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

// What one read of the kind's size leaves of a longer body.
std::string Cut(const std::string& body, int kind)
{
    return body.substr(0, ReplyBytesToRead(kind, 200));
}

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
}

TEST(AccountReply, ValidAloneIsRefused)
{
    EXPECT_FALSE(JudgeAccountReply("VALID").valid);
    EXPECT_FALSE(JudgeAccountReply("").valid);
    EXPECT_FALSE(JudgeAccountReply("INVALID").valid);
    EXPECT_FALSE(JudgeAccountReply("valid42").valid);
    EXPECT_FALSE(JudgeAccountReply(" VALID42").valid);
}

TEST(AccountReply, BalanceFollowsTheWord)
{
    AccountVerdict zero = JudgeAccountReply("VALID0");
    EXPECT_TRUE(zero.valid);
    EXPECT_EQ(zero.balance, 0);
    AccountVerdict five = JudgeAccountReply("VALID12345");
    EXPECT_TRUE(five.valid);
    EXPECT_EQ(five.balance, 12345);
    AccountVerdict letter = JudgeAccountReply("VALIDx");
    EXPECT_TRUE(letter.valid);
    EXPECT_EQ(letter.balance, 0);
    EXPECT_EQ(JudgeAccountReply("VALID42").balance, 42);
    EXPECT_EQ(JudgeAccountReply("VALID\n").balance, 0);
}

TEST(AccountReply, ThirteenByteBodyIsSeenAsTen)
{
    std::string body = "VALID12345678";
    ASSERT_EQ(body.size(), 13u);
    std::string reply = Cut(body, KIND_ACCOUNT_INFO);
    EXPECT_EQ(reply, "VALID12345");
    AccountVerdict verdict = JudgeAccountReply(reply);
    EXPECT_TRUE(verdict.valid);
    EXPECT_EQ(verdict.balance, 12345);
}

TEST(AlarmReply, TheThreeRefusals)
{
    EXPECT_STREQ(AlarmRefusal("INVALID"), INVALID_LOGIN_MESSAGE);
    EXPECT_STREQ(AlarmRefusal("NOSMS"), NO_CREDIT_MESSAGE);
    EXPECT_STREQ(AlarmRefusal("CELL"), CELL_NOT_VALIDATED_MESSAGE);
    EXPECT_STREQ(INVALID_LOGIN_MESSAGE, "You supplied an invalid login.\nPlease retype your username and/or password.");
    EXPECT_STREQ(NO_CREDIT_MESSAGE, "You are out of SMS credits. No alarm was sent to your cell phone!");
    EXPECT_STREQ(CELL_NOT_VALIDATED_MESSAGE,
                 "Your cell phone is not yet validated. No alarm was sent to your cell phone!");
}

TEST(AlarmReply, OnlyTheWholeWordRefuses)
{
    EXPECT_EQ(AlarmRefusal("NOSMS\n"), nullptr);
    EXPECT_EQ(AlarmRefusal("NOSMS\r\n"), nullptr);
    EXPECT_EQ(AlarmRefusal("CELL "), nullptr);
    EXPECT_EQ(AlarmRefusal("nosms"), nullptr);
    EXPECT_EQ(AlarmRefusal("OK"), nullptr);
    EXPECT_EQ(AlarmRefusal(""), nullptr);
    EXPECT_EQ(AlarmRefusal("INVALI"), nullptr);
}

TEST(AlarmReply, ThirteenByteBodyIsSeenAsSeven)
{
    // "INVALID" followed by anything: the 7-byte read leaves just the word.
    EXPECT_STREQ(AlarmRefusal(Cut("INVALIDxxxxxx", KIND_ALARM_NOTICE)), INVALID_LOGIN_MESSAGE);
    EXPECT_EQ(AlarmRefusal(Cut("NOSMS\nxxxxxxx", KIND_ALARM_NOTICE)), nullptr);
}

TEST(UpdateReply, NewerOnlyWhenStrictlyHigher)
{
    EXPECT_FALSE(OffersNewerVersion("1.99"));
    EXPECT_FALSE(OffersNewerVersion(Cut("1.995", KIND_UPDATE_CHECK)));
    EXPECT_TRUE(OffersNewerVersion("2"));
    EXPECT_TRUE(OffersNewerVersion("2.0"));
    EXPECT_FALSE(OffersNewerVersion("abc"));
    EXPECT_FALSE(OffersNewerVersion("1.98"));
    EXPECT_FALSE(OffersNewerVersion(""));
    EXPECT_FALSE(OffersNewerVersion("-3"));
    EXPECT_TRUE(OffersNewerVersion("1.991"));
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
