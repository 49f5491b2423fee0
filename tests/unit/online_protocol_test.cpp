// What the client does with each reply, the nonce of the signed requests and
// the daily update check: the service's rules over the state passed in.
#include <gtest/gtest.h>

#include <string>

#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

const ServiceAccount ACCOUNT{"http://127.0.0.1:5555", "kim", "secret"};

// What the system's MD5 is given shows through (tested under Wine).
const Md5Function FakeMd5 = [](const std::string& bytes) { return "md5-" + bytes; };

// The action as one line: what the client posts, sends, asks and shows.
std::string Describe(const ReplyAction& action)
{
    std::string line;
    if (action.stepIndicator)
        line += "step ";
    if (action.indicatorGreen)
        line += "green ";
    if (action.answersLogin)
        line += action.loginValid ? "valid " + std::to_string(action.balance) + " " : "invalid ";
    if (action.updateChecked)
        line += "dated ";
    if (action.nextKind != 0)
        line += "request " + std::to_string(action.nextKind) + " " + action.nextUrl + " ";
    if (!action.offeredPage.empty())
        line += "offer " + action.offeredPage + " ";
    if (action.refusal)
        line += std::string("refuse ") + action.refusal;
    return line;
}

TEST(ReplyActions, EachKindWithTheBodyTheCallbackReads)
{
    const std::string account = "request 4 " + ACCOUNT.serviceUrl + "/beta/accountinfo.php?u=kim&n=";
    const std::string invalid = std::string("refuse ") + INVALID_LOGIN_MESSAGE;
    const struct {
        int kind;
        std::string body;
        int32_t nonceBefore;
        std::string action;
        int32_t nonceAfter;
    } cases[] = {
        {KIND_NONCE, "41", 0, "step " + account + "42&h=md5-secret42 ", 42},
        {KIND_NONCE, "123456", 0, "step " + account + "1235&h=md5-secret1235 ", 1235},  // 4 bytes
        {KIND_NONCE, "oops", 5, "step " + account + "1&h=md5-secret1 ", 1},
        // "VALID" and at least one more byte; the balance is what follows.
        {KIND_ACCOUNT_INFO, "VALID42", 7, "step green valid 42 ", 7},
        {KIND_ACCOUNT_INFO, "VALID12345678", 7, "step green valid 12345 ", 7},  // 10 bytes
        {KIND_ACCOUNT_INFO, "VALID0", 7, "step green valid 0 ", 7},
        {KIND_ACCOUNT_INFO, "VALIDx", 7, "step green valid 0 ", 7},
        {KIND_ACCOUNT_INFO, "VALID\n", 7, "step green valid 0 ", 7},
        {KIND_ACCOUNT_INFO, std::string("VALID\0" "5", 7), 7, "step green valid 0 ", 7},
        {KIND_ACCOUNT_INFO, "VALID", 7, "invalid " + invalid, 7},
        {KIND_ACCOUNT_INFO, "", 7, "invalid " + invalid, 7},
        {KIND_ACCOUNT_INFO, "INVALID", 7, "invalid " + invalid, 7},
        {KIND_ACCOUNT_INFO, "valid42", 7, "invalid " + invalid, 7},
        {KIND_ACCOUNT_INFO, " VALID42", 7, "invalid " + invalid, 7},
        // Only the whole word refuses (up to a zero byte), of the 7 bytes read.
        {KIND_ALARM_NOTICE, "INVALID", 7, invalid, 7},
        {KIND_ALARM_NOTICE, "INVALIDxxxxxx", 7, invalid, 7},
        {KIND_ALARM_NOTICE, "NOSMS", 7, std::string("refuse ") + NO_CREDIT_MESSAGE, 7},
        {KIND_ALARM_NOTICE, std::string("NOSMS\0x", 7), 7, std::string("refuse ") + NO_CREDIT_MESSAGE, 7},
        {KIND_ALARM_NOTICE, "CELL", 7, std::string("refuse ") + CELL_NOT_VALIDATED_MESSAGE, 7},
        {KIND_ALARM_NOTICE, "SENT", 7, "", 7},
        {KIND_ALARM_NOTICE, "NOSMS\n", 7, "", 7},
        {KIND_ALARM_NOTICE, "NOSMS\r\n", 7, "", 7},
        {KIND_ALARM_NOTICE, "NOSMS\nxxxxxxx", 7, "", 7},
        {KIND_ALARM_NOTICE, "CELL ", 7, "", 7},
        {KIND_ALARM_NOTICE, "nosms", 7, "", 7},
        {KIND_ALARM_NOTICE, "INVALI", 7, "", 7},
        {KIND_ALARM_NOTICE, "", 7, "", 7},
        // A newer version only when strictly above ours, of the 4 bytes read.
        {KIND_UPDATE_CHECK, "2.0", 7, "dated offer http://127.0.0.1:5555/ ", 7},
        {KIND_UPDATE_CHECK, "2", 7, "dated offer http://127.0.0.1:5555/ ", 7},
        {KIND_UPDATE_CHECK, "1.995", 7, "dated ", 7},
        {KIND_UPDATE_CHECK, "1.99", 7, "dated ", 7},
        {KIND_UPDATE_CHECK, "1.98", 7, "dated ", 7},
        {KIND_UPDATE_CHECK, "-3", 7, "dated ", 7},
        {KIND_UPDATE_CHECK, "abc", 7, "dated ", 7},
        {KIND_UPDATE_CHECK, "", 7, "dated ", 7},
        {9, "VALID42", 5, "", 5},
    };
    for (const auto& c : cases) {
        int32_t nonce = c.nonceBefore;
        const ReplyAction action = ActOnReply(c.kind, c.body.substr(0, ReplyBytesToRead(c.kind, 200)), ACCOUNT, nonce, FakeMd5);
        EXPECT_EQ(Describe(action), c.action) << c.kind << " " << c.body;
        EXPECT_EQ(nonce, c.nonceAfter) << c.kind << " " << c.body;
    }
    EXPECT_STREQ(INVALID_LOGIN_MESSAGE, "You supplied an invalid login.\nPlease retype your username and/or password.");
    EXPECT_STREQ(NO_CREDIT_MESSAGE, "You are out of SMS credits. No alarm was sent to your cell phone!");
    EXPECT_STREQ(CELL_NOT_VALIDATED_MESSAGE,
                 "Your cell phone is not yet validated. No alarm was sent to your cell phone!");
}

TEST(ReplyActions, AlarmAfterLoginUsesTheServiceNoncePlusTwo)
{
    int32_t nonce = 0;
    ActOnReply(KIND_NONCE, "41", ACCOUNT, nonce, FakeMd5);
    EXPECT_EQ(SignedRequestUrl(KIND_ALARM_NOTICE, ACCOUNT, nonce, FakeMd5),
              ACCOUNT.serviceUrl + "/beta/alarm.php?u=kim&n=43&h=md5-secret43");
    EXPECT_EQ(nonce, 43);
}

TEST(UpdateCheck, OnlyWhenOnAndNotAnsweredTodayAndTheReservedBitCleared)
{
    const UtcDate today{2024, 3, 15};
    Settings answered;
    RecordUpdateCheck(answered, today);
    const struct {
        bool daily;
        int8_t day;
        int8_t month;
        int16_t year;
        bool taken;
    } cases[] = {
        {true, 0, 0, 0, true},  // never checked
        {true, answered.lastCheckedDay, answered.lastCheckedMonth, answered.lastCheckedYear, false},
        {true, 14, 3, 2024, true},
        {false, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        Settings settings;
        settings.SetFlag(FLAG_DAILY_UPDATE_CHECK, c.daily);
        settings.SetFlag(FLAG_RESERVED_200, true);
        settings.lastCheckedDay = c.day;
        settings.lastCheckedMonth = c.month;
        settings.lastCheckedYear = c.year;
        EXPECT_EQ(TakeUpdateCheck(settings, today), c.taken) << c.daily << " " << int(c.day);
        EXPECT_FALSE(settings.HasFlag(FLAG_RESERVED_200));
        EXPECT_EQ(settings.lastCheckedDay, c.day);
    }
}

}  // namespace
