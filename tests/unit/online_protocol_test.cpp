#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "fake_service_platform.h"
#include "fresh_settings_test.h"
#include "online/md5.h"
#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

class OnlineProtocol : public FreshSettingsTest {
protected:
    void SetUp() override
    {
        FreshSettingsTest::SetUp();
        settings = &GetSettings();
        settings->serviceUrl = "http://127.0.0.1:5555";
        settings->SetServerUser("kim");
        settings->SetServerPass("secret");
    }

    // The callback's part for one completed, successful request.
    const char* Complete(int kind, const std::string& body)
    {
        BeforeReplyRead(kind, platform);
        return HandleServiceReply(kind, body.substr(0, ReplyReadSize(kind)), *settings, platform);
    }

    Settings* settings = nullptr;
    FakeServicePlatform platform;
};

TEST_F(OnlineProtocol, AccountCheckResetsStartsTheWatchdogThenIssuesTheNonceRequest)
{
    StartAccountCheck(*settings, platform);
    std::vector<std::string> expected = {"reset", "balance -1", "watchdog start", "request 3"};
    EXPECT_EQ(platform.calls, expected);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].url, "http://127.0.0.1:5555/beta/lastnonce.php?e=kim");
}

TEST_F(OnlineProtocol, NonceReplyStepsAndSignsTheAccountRequestWithTheNextNonce)
{
    EXPECT_EQ(Complete(KIND_NONCE, "41"), nullptr);
    EXPECT_EQ(settings->nonce.load(), 42);
    std::vector<std::string> expected = {"step", "request 4"};
    EXPECT_EQ(platform.calls, expected);
    EXPECT_EQ(platform.requests.back().url,
              "http://127.0.0.1:5555/beta/accountinfo.php?u=kim&n=42&h=" + Md5Hex("secret42"));
}

TEST_F(OnlineProtocol, NonceReplyIsCutAtFourBytes)
{
    Complete(KIND_NONCE, "123456");
    EXPECT_EQ(settings->nonce.load(), 1235);
}

TEST_F(OnlineProtocol, NonceReplyWithoutDigitsStartsFromZero)
{
    Complete(KIND_NONCE, "oops");
    EXPECT_EQ(settings->nonce.load(), 1);
    EXPECT_NE(platform.requests.back().url.find("&n=1&h=" + Md5Hex("secret1")), std::string::npos);
}

TEST_F(OnlineProtocol, ValidAccountReplyCancelsTheWatchdogAndShowsTheBalance)
{
    settings->loggedIn = false;
    EXPECT_EQ(Complete(KIND_ACCOUNT_INFO, "VALID42"), nullptr);
    std::vector<std::string> expected = {"watchdog cancel", "step", "colour 0,255", "balance 42"};
    EXPECT_EQ(platform.calls, expected);
    EXPECT_TRUE(settings->loggedIn.load());
    EXPECT_EQ(settings->smsBalance.load(), 42);
}

TEST_F(OnlineProtocol, RefusedAccountReplyLogsOutAndReportsTheInvalidLogin)
{
    settings->loggedIn = true;
    settings->smsBalance = 9;
    EXPECT_STREQ(Complete(KIND_ACCOUNT_INFO, "VALID"), INVALID_LOGIN_MESSAGE);
    EXPECT_FALSE(settings->loggedIn.load());
    EXPECT_EQ(settings->smsBalance.load(), 9);
    std::vector<std::string> expected = {"watchdog cancel"};
    EXPECT_EQ(platform.calls, expected);
}

TEST_F(OnlineProtocol, AlarmAfterLoginUsesTheServiceNoncePlusTwo)
{
    Complete(KIND_NONCE, "41");
    Complete(KIND_ACCOUNT_INFO, "VALID3");
    SendAlarmNotice(AccountOf(*settings), *settings, platform);
    ASSERT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(platform.requests[1].kind, KIND_ALARM_NOTICE);
    EXPECT_EQ(platform.requests[1].url, "http://127.0.0.1:5555/beta/alarm.php?u=kim&n=43&h=" + Md5Hex("secret43"));
}

TEST_F(OnlineProtocol, AlarmReplyChangesNeitherLoginNorIndicator)
{
    settings->loggedIn = true;
    EXPECT_STREQ(Complete(KIND_ALARM_NOTICE, "NOSMS"), NO_CREDIT_MESSAGE);
    EXPECT_STREQ(Complete(KIND_ALARM_NOTICE, "CELL"), CELL_NOT_VALIDATED_MESSAGE);
    EXPECT_STREQ(Complete(KIND_ALARM_NOTICE, "INVALID"), INVALID_LOGIN_MESSAGE);
    EXPECT_EQ(Complete(KIND_ALARM_NOTICE, "SENT"), nullptr);
    EXPECT_TRUE(settings->loggedIn.load());
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(OnlineProtocol, SignedRequestsFromTwoThreadsNeverShareANonce)
{
    // The guard's alarm and the callback's account request both take the
    // next nonce; every request must get its own.
    FakeServicePlatform other;
    std::thread guard([&] {
        for (int i = 0; i < 500; ++i)
            SendAlarmNotice(AccountOf(*settings), *settings, other);
    });
    for (int i = 0; i < 500; ++i)
        RequestAccountInfo(*settings, platform);
    guard.join();
    EXPECT_EQ(settings->nonce.load(), 1000);
    std::vector<bool> seen(1001, false);
    for (const auto* list : {&platform.requests, &other.requests}) {
        for (const auto& request : *list) {
            size_t at = request.url.find("&n=") + 3;
            int nonce = std::stoi(request.url.substr(at));
            ASSERT_GE(nonce, 1);
            ASSERT_LE(nonce, 1000);
            EXPECT_FALSE(seen[size_t(nonce)]) << nonce;
            seen[size_t(nonce)] = true;
        }
    }
}

TEST_F(OnlineProtocol, UnknownKindIsIgnored)
{
    settings->nonce = 5;
    EXPECT_EQ(Complete(9, "VALID42"), nullptr);
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_EQ(settings->nonce.load(), 5);
}

TEST_F(OnlineProtocol, UpdateCheckSendsOncePerUtcDay)
{
    settings->flags = settings->flags.load() | FLAG_DAILY_UPDATE_CHECK | FLAG_RESERVED_200;
    CheckForUpdate(*settings, platform);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(platform.requests[0].kind, KIND_UPDATE_CHECK);
    EXPECT_EQ(platform.requests[0].url, "http://127.0.0.1:5555/beta/currentversion.php?v=1.99");
    EXPECT_FALSE(settings->HasFlag(FLAG_RESERVED_200));

    EXPECT_EQ(Complete(KIND_UPDATE_CHECK, "1.99"), nullptr);
    EXPECT_EQ(settings->lastCheckedDay.load(), 15);
    EXPECT_EQ(settings->lastCheckedMonth.load(), 3);
    EXPECT_EQ(settings->lastCheckedYear.load(), 2024);

    CheckForUpdate(*settings, platform);
    EXPECT_EQ(platform.requests.size(), 1u);
    platform.today = UtcDate{2024, 3, 16};
    CheckForUpdate(*settings, platform);
    EXPECT_EQ(platform.requests.size(), 2u);
}

TEST_F(OnlineProtocol, UnansweredUpdateCheckStaysDue)
{
    settings->SetFlag(FLAG_DAILY_UPDATE_CHECK, true);
    CheckForUpdate(*settings, platform);
    CheckForUpdate(*settings, platform);
    EXPECT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(settings->lastCheckedYear.load(), 0);
}

TEST_F(OnlineProtocol, DailyCheckOffSendsNothingAndKeepsTheDate)
{
    settings->SetFlag(FLAG_DAILY_UPDATE_CHECK, false);
    settings->SetFlag(FLAG_RESERVED_200, true);
    settings->lastCheckedDay = 1;
    CheckForUpdate(*settings, platform);
    EXPECT_TRUE(platform.requests.empty());
    EXPECT_FALSE(settings->HasFlag(FLAG_RESERVED_200));
    EXPECT_EQ(settings->lastCheckedDay.load(), 1);
}

// The offer waits for nobody: whatever the owner answers, the day is done.
TEST_F(OnlineProtocol, NewerVersionIsOfferedAndTheDateRecordedAtOnce)
{
    EXPECT_EQ(Complete(KIND_UPDATE_CHECK, "2.0"), nullptr);
    std::vector<std::string> expected = {"offer http://127.0.0.1:5555/"};
    EXPECT_EQ(platform.calls, expected);
    EXPECT_EQ(settings->lastCheckedDay.load(), 15);
}

TEST_F(OnlineProtocol, SameOrOlderVersionAsksNothing)
{
    for (const char* body : {"1.99", "1.995", "abc", ""})
        Complete(KIND_UPDATE_CHECK, body);
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(OnlineProtocol, DateIsStoredInItsFieldWidths)
{
    platform.today = UtcDate{40000, 12, 31};
    Complete(KIND_UPDATE_CHECK, "1");
    EXPECT_EQ(settings->lastCheckedDay.load(), 31);
    EXPECT_EQ(settings->lastCheckedMonth.load(), 12);
    EXPECT_EQ(settings->lastCheckedYear.load(), int16_t(uint16_t(40000)));
}

TEST_F(OnlineProtocol, StoredPasswordSignsTheLogin)
{
    EXPECT_EQ(MakeLoginHash(42), "5ce06e46867de8252365147b667f1c20");  // md5 of "secret42"
    settings->SetServerPass("");
    EXPECT_EQ(MakeLoginHash(42), "a1d0c6e83f027327d8461063f4ac58a6");  // md5 of "42"
}

}  // namespace
