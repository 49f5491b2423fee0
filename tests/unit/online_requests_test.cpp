// The service client's rules: how much of an alarm reply is read and which
// login a reply still belongs to.
#include <gtest/gtest.h>

#include <string>

#include "online/service_protocol.h"

namespace {

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
        std::string read = c.body.substr(0, ReplyBytesToRead(KIND_ALARM_NOTICE, c.status));
        int32_t nonce = 0;
        const ServiceAccount account;
        EXPECT_EQ(ActOnReply(KIND_ALARM_NOTICE, read, account, nonce, nullptr).refusal, c.refusal)
            << c.status << " " << c.body;
    }
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
