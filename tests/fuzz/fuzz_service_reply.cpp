// Every reply handler with any body: the kind (known or not), the bytes as
// the callback's read leaves them (at most the kind's read size) and as a
// whole body of any length. Checks what each kind may do to the nonce and
// the platform, whatever the server sent.

#include <cstring>
#include <string>
#include <vector>

#include "fake_service_platform.h"
#include "fuzz_input.h"
#include "online/service_protocol.h"
#include "online/service_requests.h"
#include "settings/leading_integer.h"

namespace {

bool IsLowerHex(const std::string& text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

void HandleOne(int kind, const std::string& body, int32_t nonceBefore)
{
    const ServiceAccount account{KESTROVA_SERVICE_URL, "owner@example.org", "secret"};
    ServiceNonce nonce{nonceBefore};
    FakeServicePlatform platform;
    platform.today = UtcDate{2024, 2, 29};

    BeforeReplyRead(kind, platform);
    FUZZ_CHECK(platform.Count("step") == (kind == KIND_NONCE ? 1u : 0u));
    FUZZ_CHECK(platform.Count("watchdog cancel") == (kind == KIND_ACCOUNT_INFO ? 1u : 0u));
    platform.calls.clear();

    const char* refusal = HandleServiceReply(kind, body, account, nonce, platform);
    FUZZ_CHECK(platform.Count("watchdog start") == 0);
    // The indicator only ever turns green.
    FUZZ_CHECK(platform.CountStartingWith("colour ") == platform.Count("colour 0,255"));
    const size_t offers = platform.CountStartingWith("offer ");
    const size_t balances = platform.CountStartingWith("balance ");
    const size_t logins = platform.CountStartingWith("login ");
    const size_t dates = platform.CountStartingWith("checked ");

    switch (kind) {
    case KIND_UPDATE_CHECK:
        FUZZ_CHECK(refusal == nullptr && platform.requests.empty());
        FUZZ_CHECK(offers == (OffersNewerVersion(body) ? 1u : 0u));
        FUZZ_CHECK(platform.Count("offer " + account.serviceUrl + "/") == offers);
        FUZZ_CHECK(dates == 1 && platform.calls.front() == "checked 2024-2-29");
        break;
    case KIND_ALARM_NOTICE: {
        FUZZ_CHECK(platform.requests.empty() && balances == 0 && logins == 0 && dates == 0);
        const std::string text = ReplyText(body);
        if (text == "INVALID")
            FUZZ_CHECK(refusal == INVALID_LOGIN_MESSAGE);
        else if (text == "NOSMS")
            FUZZ_CHECK(refusal == NO_CREDIT_MESSAGE);
        else if (text == "CELL")
            FUZZ_CHECK(refusal == CELL_NOT_VALIDATED_MESSAGE);
        else
            FUZZ_CHECK(refusal == nullptr);
        break;
    }
    case KIND_NONCE: {
        // One follow-up, signed with the reply's nonce plus one.
        FUZZ_CHECK(refusal == nullptr && platform.requests.size() == 1);
        FUZZ_CHECK(platform.requests[0].kind == KIND_ACCOUNT_INFO);
        const int32_t sent = int32_t(uint32_t(LeadingInteger(ReplyText(body))) + 1u);
        FUZZ_CHECK(nonce == sent && logins == 0);
        const std::string prefix = account.serviceUrl + "/beta/accountinfo.php?u=owner%40example.org&n=";
        const std::string& url = platform.requests[0].url;
        FUZZ_CHECK(url.compare(0, prefix.size(), prefix) == 0);
        const std::string rest = url.substr(prefix.size());
        const std::string digits = std::to_string(sent);  // '-' needs no escape
        FUZZ_CHECK(rest.compare(0, digits.size() + 3, digits + "&h=") == 0);
        const std::string hash = rest.substr(digits.size() + 3);
        FUZZ_CHECK(hash.size() == 32 && IsLowerHex(hash) && hash == MakeLoginHash("secret", sent));
        break;
    }
    case KIND_ACCOUNT_INFO: {
        FUZZ_CHECK(platform.requests.empty());
        const bool valid = body.size() >= 6 && body.compare(0, 5, "VALID") == 0;
        FUZZ_CHECK(balances == 0 && nonce == nonceBefore);
        if (valid) {
            FUZZ_CHECK(refusal == nullptr);
            FUZZ_CHECK(platform.Count("step") == 1 && platform.CountStartingWith("colour ") == 1);
            FUZZ_CHECK(logins == 1 &&
                       platform.Count("login valid " + std::to_string(LeadingInteger(ReplyText(body.substr(5))))) == 1);
        } else {
            FUZZ_CHECK(refusal == INVALID_LOGIN_MESSAGE && platform.Count("login invalid") == 1);
            FUZZ_CHECK(logins == 1 && platform.CountStartingWith("colour ") == 0);
        }
        break;
    }
    default:
        // An unknown kind is never read and changes nothing.
        FUZZ_CHECK(ReplyReadSize(kind) == 0);
        FUZZ_CHECK(refusal == nullptr && platform.requests.empty() && balances == 0 && offers == 0 &&
                   logins == 0 && dates == 0 && nonce == nonceBefore);
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    // Kinds 0 to 5 most of the time, any int now and then.
    uint8_t pick = input.Byte();
    int kind = pick < 240 ? pick % 6 : int(input.Word());
    (void)input.Flag();  // once the owner's answer; kept so the corpus still reads the same
    int32_t nonceBefore = int32_t(input.Word());
    const std::string body = input.Rest();

    FUZZ_CHECK(ReplyReadSize(kind) < REPLY_BUFFER_BYTES);
    // As the callback reads it: at most the read size, then a zero byte.
    HandleOne(kind, body.substr(0, ReplyReadSize(kind)), nonceBefore);
    // The handlers themselves take a body of any length.
    HandleOne(kind, body, nonceBefore);

    // An alarm reply with an error status refuses only when the whole body,
    // up to a zero byte, is one of the words: no error page passes for one.
    std::string errorRead = body.substr(0, ReplyBytesToRead(KIND_ALARM_NOTICE, 500));
    FUZZ_CHECK(errorRead.size() < REPLY_BUFFER_BYTES);
    if (AlarmRefusal(errorRead)) {
        std::string whole = ReplyText(body);
        FUZZ_CHECK(whole == "INVALID" || whole == "NOSMS" || whole == "CELL");
    }
    return 0;
}
