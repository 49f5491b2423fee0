// The service client's rules: when a read ends a request, how much of an
// alarm reply is read and which login a reply still belongs to.
#include <gtest/gtest.h>

#include <string>

#include "online/service_protocol.h"

namespace {

TEST(ReadSteps, AFailedReadIsAFailedRequestNotAnEmptyReply)
{
    struct Case {
        bool returned;
        uint32_t lastError;
        ReadStep step;
    };
    const Case cases[] = {
        {true, 0, ReadStep::DONE},
        {true, 997, ReadStep::DONE},       // a stale error beside success
        {false, 997, ReadStep::PENDING},   // ERROR_IO_PENDING
        {false, 12030, ReadStep::FAILED},  // connection aborted
        {false, 12031, ReadStep::FAILED},  // connection reset
        {false, 12002, ReadStep::FAILED},  // timed out
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadStepOfCall(c.returned, c.lastError), c.step) << c.returned << " " << c.lastError;
    EXPECT_EQ(ReadStepOfCompletion(0), ReadStep::DONE);
    EXPECT_EQ(ReadStepOfCompletion(12031), ReadStep::FAILED);
}

TEST(AlarmReplies, AnErrorStatusRefusesOnlyWithAWholeWord)
{
    struct Case {
        uint32_t status;
        std::string body;
        const char* refusal;
    };
    const Case cases[] = {
        {402, "NOSMS", NO_CREDIT_MESSAGE},
        {403, "INVALID", INVALID_LOGIN_MESSAGE},
        {500, "CELL", CELL_NOT_VALIDATED_MESSAGE},
        {500, "INVALID request", nullptr},  // an error page that begins like a word
        {404, "CELL\n", nullptr},
        {500, "", nullptr},
        {200, "INVALIDxyz", INVALID_LOGIN_MESSAGE},  // a 2xx body is cut at 7 bytes, as ever
        {200, "OK", nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ShouldReadReply(KIND_ALARM_NOTICE, 0, c.status));
        std::string read = c.body.substr(0, ReplyBytesToRead(KIND_ALARM_NOTICE, c.status));
        EXPECT_EQ(AlarmRefusal(read), c.refusal) << c.status << " " << c.body;
    }
    EXPECT_EQ(ReplyBytesToRead(KIND_ACCOUNT_INFO, 500), ReplyReadSize(KIND_ACCOUNT_INFO));
    EXPECT_LT(ReplyBytesToRead(KIND_ALARM_NOTICE, 500), REPLY_BUFFER_BYTES);
}

TEST(LoginReplies, OnlyTheNewestLoginIsHandled)
{
    struct Case {
        int kind;
        uint32_t login;
        uint32_t newest;
        bool wanted;
    };
    const Case cases[] = {
        {KIND_NONCE, 2, 2, true},
        {KIND_ACCOUNT_INFO, 2, 2, true},
        {KIND_NONCE, 1, 2, false},         // the late nonce of a superseded login
        {KIND_ACCOUNT_INFO, 1, 2, false},  // and its cancel of the watchdog
        {KIND_ALARM_NOTICE, 0, 2, true},   // alarm and update belong to no login
        {KIND_UPDATE_CHECK, 0, 7, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplyStillWanted(c.kind, c.login, c.newest), c.wanted) << c.kind << " " << c.login;
}

}  // namespace
