// URL building from any user name, password and nonce. Every query field is
// percent-encoded: the output holds only unreserved characters and %XX, and
// decodes back to exactly the input, so no byte of an account can end a
// field, start another or leave the URL.

#include <string>

#include "fuzz_input.h"
#include "online/service_protocol.h"

namespace {

bool IsUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;  // lowercase hex is not what the encoder writes
}

// Checks the encoding's form and gives back what it decodes to.
std::string CheckedDecode(const std::string& encoded)
{
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c == '%') {
            FUZZ_CHECK(i + 2 < encoded.size());
            int high = HexValue(encoded[i + 1]);
            int low = HexValue(encoded[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            const char byte = char(high << 4 | low);
            FUZZ_CHECK(!IsUnreserved(byte));  // nothing is escaped that need not be
            decoded.push_back(byte);
            i += 2;
        } else {
            FUZZ_CHECK(IsUnreserved(c));
            decoded.push_back(c);
        }
    }
    return decoded;
}

// The signed query "?u=<user>&n=<nonce>&h=<hash>" after the script's path.
void CheckSignedUrl(const std::string& url, const std::string& prefix, const std::string& user,
                    const std::string& password, int32_t nonce)
{
    FUZZ_CHECK(url.compare(0, prefix.size(), prefix) == 0);
    const std::string query = url.substr(prefix.size());
    FUZZ_CHECK(query.compare(0, 3, "?u=") == 0);
    const size_t nField = query.find("&n=");
    FUZZ_CHECK(nField != std::string::npos);
    const size_t hField = query.find("&h=", nField + 3);
    FUZZ_CHECK(hField != std::string::npos);
    FUZZ_CHECK(CheckedDecode(query.substr(3, nField - 3)) == user);
    FUZZ_CHECK(CheckedDecode(query.substr(nField + 3, hField - nField - 3)) == std::to_string(nonce));
    const std::string hash = query.substr(hField + 3);
    FUZZ_CHECK(CheckedDecode(hash) == hash && hash == FakeMd5(password + std::to_string(nonce)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const int32_t nonce = int32_t(input.Word());
    const std::string user = input.ShortString();
    const std::string password = input.Rest();
    const std::string base = "http://127.0.0.1:8080";

    const std::string encoded = PercentEncode(user);
    FUZZ_CHECK(CheckedDecode(encoded) == user);
    FUZZ_CHECK(CheckedDecode(PercentEncode(password)) == password);
    FUZZ_CHECK(encoded.size() >= user.size() && encoded.size() <= 3 * user.size());

    const std::string nonceUrl = NonceUrl(base, user);
    const std::string noncePrefix = base + "/beta/lastnonce.php?e=";
    FUZZ_CHECK(nonceUrl.compare(0, noncePrefix.size(), noncePrefix) == 0);
    FUZZ_CHECK(CheckedDecode(nonceUrl.substr(noncePrefix.size())) == user);

    // Each signed request takes the nonce after the one given.
    const ServiceAccount account{base, user, password};
    for (int kind : {KIND_ACCOUNT_INFO, KIND_ALARM_NOTICE}) {
        int32_t taken = int32_t(uint32_t(nonce) - 1u);
        const std::string url = SignedRequestUrl(kind, account, taken, FakeMd5);
        FUZZ_CHECK(taken == nonce);
        CheckSignedUrl(url, base + (kind == KIND_ALARM_NOTICE ? "/beta/alarm.php" : "/beta/accountinfo.php"), user,
                       password, nonce);
    }

    return 0;
}
