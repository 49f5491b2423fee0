#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "fake_service_platform.h"
#include "online/md5.h"
#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

class OnlineProtocol : public testing::Test {
protected:
    void SetUp() override { settings.serviceUrl = account.serviceUrl; }

    // The callback's part for one completed, successful request.
    const char* Complete(int kind, const std::string& body)
    {
        BeforeReplyRead(kind, platform);
        return HandleServiceReply(kind, body.substr(0, ReplyReadSize(kind)), account, nonce, platform);
    }

    const ServiceAccount account{"http://127.0.0.1:5555", "kim", "secret"};
    ServiceNonce nonce{0};
    Settings settings;  // the main thread's, for the update check
    FakeServicePlatform platform;
};

TEST_F(OnlineProtocol, AccountCheckResetsStartsTheWatchdogThenIssuesTheNonceRequest)
{
    StartAccountCheck(account, platform);
    std::vector<std::string> expected = {"reset", "balance -1", "watchdog start", "request 3"};
    EXPECT_EQ(platform.calls, expected);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].url, "http://127.0.0.1:5555/beta/lastnonce.php?e=kim");
}

TEST_F(OnlineProtocol, NonceReplyStepsAndSignsTheAccountRequestWithTheNextNonce)
{
    EXPECT_EQ(Complete(KIND_NONCE, "41"), nullptr);
    EXPECT_EQ(nonce.load(), 42);
    std::vector<std::string> expected = {"step", "request 4"};
    EXPECT_EQ(platform.calls, expected);
    EXPECT_EQ(platform.requests.back().url,
              "http://127.0.0.1:5555/beta/accountinfo.php?u=kim&n=42&h=" + Md5Hex("secret42"));
}

TEST_F(OnlineProtocol, NonceReplyIsCutAtFourBytes)
{
    Complete(KIND_NONCE, "123456");
    EXPECT_EQ(nonce.load(), 1235);
}

TEST_F(OnlineProtocol, NonceReplyWithoutDigitsStartsFromZero)
{
    Complete(KIND_NONCE, "oops");
    EXPECT_EQ(nonce.load(), 1);
    EXPECT_NE(platform.requests.back().url.find("&n=1&h=" + Md5Hex("secret1")), std::string::npos);
}

TEST_F(OnlineProtocol, ValidAccountReplyCancelsTheWatchdogAndTellsTheBalance)
{
    EXPECT_EQ(Complete(KIND_ACCOUNT_INFO, "VALID42"), nullptr);
    std::vector<std::string> expected = {"watchdog cancel", "step", "colour 0,255", "login valid 42"};
    EXPECT_EQ(platform.calls, expected);
}

TEST_F(OnlineProtocol, RefusedAccountReplyLogsOutAndReportsTheInvalidLogin)
{
    EXPECT_STREQ(Complete(KIND_ACCOUNT_INFO, "VALID"), INVALID_LOGIN_MESSAGE);
    std::vector<std::string> expected = {"watchdog cancel", "login invalid"};
    EXPECT_EQ(platform.calls, expected);
}

TEST_F(OnlineProtocol, AlarmAfterLoginUsesTheServiceNoncePlusTwo)
{
    Complete(KIND_NONCE, "41");
    Complete(KIND_ACCOUNT_INFO, "VALID3");
    SendAlarmNotice(account, nonce, platform);
    ASSERT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(platform.requests[1].kind, KIND_ALARM_NOTICE);
    EXPECT_EQ(platform.requests[1].url, "http://127.0.0.1:5555/beta/alarm.php?u=kim&n=43&h=" + Md5Hex("secret43"));
}

TEST_F(OnlineProtocol, AlarmReplyChangesNeitherLoginNorIndicator)
{
    EXPECT_STREQ(Complete(KIND_ALARM_NOTICE, "NOSMS"), NO_CREDIT_MESSAGE);
    EXPECT_STREQ(Complete(KIND_ALARM_NOTICE, "CELL"), CELL_NOT_VALIDATED_MESSAGE);
    EXPECT_STREQ(Complete(KIND_ALARM_NOTICE, "INVALID"), INVALID_LOGIN_MESSAGE);
    EXPECT_EQ(Complete(KIND_ALARM_NOTICE, "SENT"), nullptr);
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(OnlineProtocol, SignedRequestsFromTwoThreadsNeverShareANonce)
{
    // The guard's alarm and the callback's account request both take the
    // next nonce; every request must get its own.
    FakeServicePlatform other;
    std::thread guard([&] {
        for (int i = 0; i < 500; ++i)
            SendAlarmNotice(account, nonce, other);
    });
    for (int i = 0; i < 500; ++i)
        RequestAccountInfo(account, nonce, platform);
    guard.join();
    EXPECT_EQ(nonce.load(), 1000);
    std::vector<bool> seen(1001, false);
    for (const auto* list : {&platform.requests, &other.requests}) {
        for (const auto& request : *list) {
            size_t at = request.url.find("&n=") + 3;
            int sent = std::stoi(request.url.substr(at));
            ASSERT_GE(sent, 1);
            ASSERT_LE(sent, 1000);
            EXPECT_FALSE(seen[size_t(sent)]) << sent;
            seen[size_t(sent)] = true;
        }
    }
}

TEST_F(OnlineProtocol, UnknownKindIsIgnored)
{
    nonce = 5;
    EXPECT_EQ(Complete(9, "VALID42"), nullptr);
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_EQ(nonce.load(), 5);
}

TEST_F(OnlineProtocol, UpdateCheckSendsOncePerUtcDay)
{
    settings.flags = settings.flags | FLAG_DAILY_UPDATE_CHECK | FLAG_RESERVED_200;
    CheckForUpdate(settings, platform);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].kind, KIND_UPDATE_CHECK);
    EXPECT_EQ(platform.requests[0].url, "http://127.0.0.1:5555/beta/currentversion.php?v=1.99");
    EXPECT_FALSE(settings.HasFlag(FLAG_RESERVED_200));

    EXPECT_EQ(Complete(KIND_UPDATE_CHECK, "1.99"), nullptr);
    // The main dialog writes the date the network thread told it.
    RecordUpdateCheck(settings, platform.checked);
    EXPECT_EQ(settings.lastCheckedDay, 15);
    EXPECT_EQ(settings.lastCheckedMonth, 3);
    EXPECT_EQ(settings.lastCheckedYear, 2024);

    CheckForUpdate(settings, platform);
    EXPECT_EQ(platform.requests.size(), 1u);
    platform.today = UtcDate{2024, 3, 16};
    CheckForUpdate(settings, platform);
    EXPECT_EQ(platform.requests.size(), 2u);
}

TEST_F(OnlineProtocol, UnansweredUpdateCheckStaysDue)
{
    settings.SetFlag(FLAG_DAILY_UPDATE_CHECK, true);
    CheckForUpdate(settings, platform);
    CheckForUpdate(settings, platform);
    EXPECT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(settings.lastCheckedYear, 0);
}

TEST_F(OnlineProtocol, DailyCheckOffSendsNothingAndKeepsTheDate)
{
    settings.SetFlag(FLAG_DAILY_UPDATE_CHECK, false);
    settings.SetFlag(FLAG_RESERVED_200, true);
    settings.lastCheckedDay = 1;
    CheckForUpdate(settings, platform);
    EXPECT_TRUE(platform.requests.empty());
    EXPECT_FALSE(settings.HasFlag(FLAG_RESERVED_200));
    EXPECT_EQ(settings.lastCheckedDay, 1);
}

// The offer waits for nobody: whatever the owner answers, the day is done,
// and told before the question goes up.
TEST_F(OnlineProtocol, NewerVersionIsOfferedAndTheDateToldFirst)
{
    EXPECT_EQ(Complete(KIND_UPDATE_CHECK, "2.0"), nullptr);
    std::vector<std::string> expected = {"checked 2024-3-15", "offer http://127.0.0.1:5555/"};
    EXPECT_EQ(platform.calls, expected);
}

TEST_F(OnlineProtocol, SameOrOlderVersionAsksNothing)
{
    for (const char* body : {"1.99", "1.995", "abc", ""})
        Complete(KIND_UPDATE_CHECK, body);
    EXPECT_EQ(platform.calls, std::vector<std::string>(4, "checked 2024-3-15"));
}

TEST_F(OnlineProtocol, DateIsStoredInItsFieldWidths)
{
    RecordUpdateCheck(settings, UtcDate{40000, 12, 31});
    EXPECT_EQ(settings.lastCheckedDay, 31);
    EXPECT_EQ(settings.lastCheckedMonth, 12);
    EXPECT_EQ(settings.lastCheckedYear, int16_t(uint16_t(40000)));
}

}  // namespace
