#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "online/service_protocol.h"

namespace {

const std::string BASE = "http://127.0.0.1:8080";

// The system's MD5 is tested under Wine (tests/wine/adapters/crypto_test.cpp);
// here what it is given shows through.
const Md5Function FakeMd5 = [](const std::string& bytes) { return "md5-" + bytes; };

TEST(PercentEncode, UnreservedCharactersStayAsTheyAre)
{
    const std::string unreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    EXPECT_EQ(PercentEncode(unreserved), unreserved);
}

TEST(PercentEncode, EveryOtherByteIsEncodedInUpperCaseHex)
{
    EXPECT_EQ(PercentEncode(" "), "%20");
    EXPECT_EQ(PercentEncode("&"), "%26");
    EXPECT_EQ(PercentEncode("+"), "%2B");
    EXPECT_EQ(PercentEncode("#"), "%23");
    EXPECT_EQ(PercentEncode("%"), "%25");
    EXPECT_EQ(PercentEncode("="), "%3D");
    EXPECT_EQ(PercentEncode("/?@"), "%2F%3F%40");
    EXPECT_EQ(PercentEncode(std::string("\xe9\x80\xff", 3)), "%E9%80%FF");
    EXPECT_EQ(PercentEncode(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(PercentEncode, AllBytesRoundTrip)
{
    // Decoding what was encoded gives every byte back, and nothing outside
    // the unreserved set and '%' appears in the result.
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(char(i));
    std::string encoded = PercentEncode(all);
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || std::string("-._~%").find(c) != std::string::npos);
        if (c == '%') {
            decoded.push_back(char(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            decoded.push_back(c);
        }
    }
    EXPECT_EQ(decoded, all);
}

TEST(ServiceUrls, NonceRequest)
{
    EXPECT_EQ(NonceUrl(BASE, "owner@example.org"), BASE + "/beta/lastnonce.php?e=owner%40example.org");
    EXPECT_EQ(NonceUrl(BASE, ""), BASE + "/beta/lastnonce.php?e=");
}

// Each signed request takes the nonce after the one given (wrapping past the
// largest int), the user percent-encoded so that no name can add a field, and
// the hash of the password followed by that nonce's digits.
TEST(ServiceUrls, SignedRequestsCarryUserNonceAndHash)
{
    const struct {
        int kind;
        const char* user;
        const char* password;
        int32_t nonceBefore;
        const char* query;
    } cases[] = {
        {KIND_ACCOUNT_INFO, "kim", "secret", 41, "/beta/accountinfo.php?u=kim&n=42&h=md5-secret42"},
        {KIND_ALARM_NOTICE, "kim", "secret", 42, "/beta/alarm.php?u=kim&n=43&h=md5-secret43"},
        {KIND_ALARM_NOTICE, "kim", "pw", -8, "/beta/alarm.php?u=kim&n=-7&h=md5-pw-7"},
        {KIND_ACCOUNT_INFO, "kim", "", 41, "/beta/accountinfo.php?u=kim&n=42&h=md5-42"},
        {KIND_ACCOUNT_INFO, "kim", "x", -1, "/beta/accountinfo.php?u=kim&n=0&h=md5-x0"},
        {KIND_ACCOUNT_INFO, "kim", "x", 2147483646, "/beta/accountinfo.php?u=kim&n=2147483647&h=md5-x2147483647"},
        {KIND_ACCOUNT_INFO, "kim", "x", 2147483647, "/beta/accountinfo.php?u=kim&n=-2147483648&h=md5-x-2147483648"},
        {KIND_ACCOUNT_INFO, "a b&n=1+c#d%", "p&w", 41,
         "/beta/accountinfo.php?u=a%20b%26n%3D1%2Bc%23d%25&n=42&h=md5-p%26w42"},
    };
    for (const auto& c : cases) {
        int32_t nonce = c.nonceBefore;
        EXPECT_EQ(SignedRequestUrl(c.kind, ServiceAccount{BASE, c.user, c.password}, nonce, FakeMd5), BASE + c.query);
        EXPECT_EQ(nonce, int32_t(uint32_t(c.nonceBefore) + 1u)) << c.query;
    }
}

TEST(ServiceUrls, UpdateCheck)
{
    EXPECT_EQ(UpdateCheckUrl(BASE), BASE + "/beta/currentversion.php?v=1.99");
}

}  // namespace
