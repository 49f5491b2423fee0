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

TEST(ServiceUrls, SignedRequestsCarryUserNonceAndHash)
{
    EXPECT_EQ(SignedUrl(KIND_ACCOUNT_INFO, BASE, "kim", 42, "5ce06e46867de8252365147b667f1c20"),
              BASE + "/beta/accountinfo.php?u=kim&n=42&h=5ce06e46867de8252365147b667f1c20");
    EXPECT_EQ(SignedUrl(KIND_ALARM_NOTICE, BASE, "kim", 43, MakeLoginHash("secret", 43, FakeMd5)),
              BASE + "/beta/alarm.php?u=kim&n=43&h=md5-secret43");
}

TEST(ServiceUrls, UserNameCannotInjectParameters)
{
    std::string url = SignedUrl(KIND_ACCOUNT_INFO, BASE, "a b&n=1+c#d%", 42, "00");
    EXPECT_EQ(url, BASE + "/beta/accountinfo.php?u=a%20b%26n%3D1%2Bc%23d%25&n=42&h=00");
    EXPECT_EQ(std::count(url.begin(), url.end(), '&'), 2);
    EXPECT_EQ(url.find('#'), std::string::npos);
    EXPECT_EQ(url.find(' '), std::string::npos);
}

TEST(ServiceUrls, NegativeNonceKeepsItsSign)
{
    EXPECT_EQ(SignedUrl(KIND_ALARM_NOTICE, BASE, "kim", -7, "x"), BASE + "/beta/alarm.php?u=kim&n=-7&h=x");
}

TEST(ServiceUrls, UpdateCheck)
{
    EXPECT_EQ(UpdateCheckUrl(BASE), BASE + "/beta/currentversion.php?v=1.99");
}

TEST(LoginHash, Md5OfThePasswordFollowedByTheNonceDigits)
{
    const struct {
        const char* password;
        int32_t nonce;
        const char* hashed;
    } cases[] = {
        {"secret", 42, "secret42"}, {"pw", -7, "pw-7"}, {"", 42, "42"}, {"x", 0, "x0"},
        {"x", 2147483647, "x2147483647"}, {"x", -2147483647 - 1, "x-2147483648"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeLoginHash(c.password, c.nonce, FakeMd5), std::string("md5-") + c.hashed);
}

}  // namespace
