// Every reply handler with any body: the kind (known or not), the bytes as
// the callback's read leaves them (at most the kind's read size) and as a
// whole body of any length. Checks what each kind may do to the nonce and
// what it asks of the client, whatever the server sent.

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

bool IsLowerHex(const std::string& text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// The reply as text: the bytes before the first zero byte.
std::string Text(const std::string& body)
{
    return body.substr(0, body.find('\0'));
}

void HandleOne(int kind, const std::string& body, int32_t nonceBefore)
{
    const ServiceAccount account{KESTROVA_SERVICE_URL, "owner@example.org", "secret"};
    int32_t nonce = nonceBefore;
    const ReplyAction action = ActOnReply(kind, body, account, nonce, FakeMd5);
    // Only the account reply tells the login (and quiets the watchdog); the
    // indicator only ever turns green, after a step.
    FUZZ_CHECK(action.answersLogin == (kind == KIND_ACCOUNT_INFO));
    FUZZ_CHECK(!action.indicatorGreen || action.stepIndicator);
    FUZZ_CHECK(action.updateChecked == (kind == KIND_UPDATE_CHECK));
    FUZZ_CHECK(action.offeredPage.empty() || kind == KIND_UPDATE_CHECK);
    FUZZ_CHECK((action.nextKind != 0) == (kind == KIND_NONCE) && action.nextUrl.empty() == (action.nextKind == 0));
    FUZZ_CHECK(nonce == nonceBefore || kind == KIND_NONCE);

    switch (kind) {
    case KIND_UPDATE_CHECK:
        FUZZ_CHECK(action.refusal == nullptr && !action.stepIndicator);
        FUZZ_CHECK(action.offeredPage == (LeadingNumber(Text(body)) > PROGRAM_VERSION ? account.serviceUrl + "/" : ""));
        break;
    case KIND_ALARM_NOTICE: {
        FUZZ_CHECK(!action.stepIndicator);
        const std::string text = Text(body);
        if (text == "INVALID")
            FUZZ_CHECK(action.refusal == INVALID_LOGIN_MESSAGE);
        else if (text == "NOSMS")
            FUZZ_CHECK(action.refusal == NO_CREDIT_MESSAGE);
        else if (text == "CELL")
            FUZZ_CHECK(action.refusal == CELL_NOT_VALIDATED_MESSAGE);
        else
            FUZZ_CHECK(action.refusal == nullptr);
        break;
    }
    case KIND_NONCE: {
        // One follow-up, signed with the reply's nonce plus one.
        FUZZ_CHECK(action.refusal == nullptr && action.stepIndicator && !action.indicatorGreen);
        FUZZ_CHECK(action.nextKind == KIND_ACCOUNT_INFO);
        const int32_t sent = int32_t(uint32_t(LeadingInteger(Text(body))) + 1u);
        FUZZ_CHECK(nonce == sent);
        const std::string prefix = account.serviceUrl + "/beta/accountinfo.php?u=owner%40example.org&n=";
        const std::string& url = action.nextUrl;
        FUZZ_CHECK(url.compare(0, prefix.size(), prefix) == 0);
        const std::string rest = url.substr(prefix.size());
        const std::string digits = std::to_string(sent);  // '-' needs no escape
        FUZZ_CHECK(rest.compare(0, digits.size() + 3, digits + "&h=") == 0);
        const std::string hash = rest.substr(digits.size() + 3);
        FUZZ_CHECK(hash.size() == 32 && IsLowerHex(hash) && hash == FakeMd5("secret" + digits));
        break;
    }
    case KIND_ACCOUNT_INFO: {
        const bool valid = body.size() >= 6 && body.compare(0, 5, "VALID") == 0;
        FUZZ_CHECK(action.loginValid == valid && action.stepIndicator == valid && action.indicatorGreen == valid);
        if (valid)
            FUZZ_CHECK(action.refusal == nullptr &&
                       action.balance == LeadingInteger(Text(body.substr(5))));
        else
            FUZZ_CHECK(action.refusal == INVALID_LOGIN_MESSAGE);
        break;
    }
    default:
        // An unknown kind is never read and changes nothing.
        FUZZ_CHECK(ReplyBytesToRead(kind, 200) == 0);
        FUZZ_CHECK(action.refusal == nullptr && !action.stepIndicator);
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

    FUZZ_CHECK(ReplyBytesToRead(kind, 200) < REPLY_BUFFER_BYTES);
    // As the callback reads it: at most the read size, then a zero byte.
    HandleOne(kind, body.substr(0, ReplyBytesToRead(kind, 200)), nonceBefore);
    // The handlers themselves take a body of any length.
    HandleOne(kind, body, nonceBefore);

    // An alarm reply with an error status refuses only when the whole body,
    // up to a zero byte, is one of the words: no error page passes for one.
    std::string errorRead = body.substr(0, ReplyBytesToRead(KIND_ALARM_NOTICE, 500));
    FUZZ_CHECK(errorRead.size() < REPLY_BUFFER_BYTES);
    int32_t nonce = nonceBefore;
    if (ActOnReply(KIND_ALARM_NOTICE, errorRead, ServiceAccount{}, nonce, FakeMd5).refusal) {
        std::string whole = Text(body);
        FUZZ_CHECK(whole == "INVALID" || whole == "NOSMS" || whole == "CELL");
    }
    return 0;
}
