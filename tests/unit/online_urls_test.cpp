#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "online/service_protocol.h"

namespace {

const std::string BASE = "http://127.0.0.1:8080";

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
    std::string hash = MakeLoginHash("secret", 42);
    EXPECT_EQ(SignedUrl(KIND_ACCOUNT_INFO, BASE, "kim", 42, hash),
              BASE + "/beta/accountinfo.php?u=kim&n=42&h=5ce06e46867de8252365147b667f1c20");
    EXPECT_EQ(SignedUrl(KIND_ALARM_NOTICE, BASE, "kim", 43, MakeLoginHash("secret", 43)),
              BASE + "/beta/alarm.php?u=kim&n=43&h=01ab598e0258dfe22e5c51ffd44decec");
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
        const char* hash;
    } cases[] = {
        {"secret", 42, "5ce06e46867de8252365147b667f1c20"},
        {"pw", -7, "54c72579b6b261db6160161a1c5b1221"},
        {"", 42, "a1d0c6e83f027327d8461063f4ac58a6"},  // the digits alone
        {"x", 0, "e50eb7598b580311bab8f39bb8f4815b"},
        {"x", 1, "6dbf9ac2da09ee1d3debf5a51873ec6d"},
        {"x", 9, "d0c2225b640deec861a1208f37a77c25"},
        {"x", 10, "2040a28d572e0889b2b34e9c66814f57"},
        {"x", 2147483647, "716700c7ff9a180b123cd126ba01b3b8"},
        {"x", -2147483647 - 1, "123494b5f221a10a7786096ef1ac50df"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeLoginHash(c.password, c.nonce), c.hash) << c.password << c.nonce;
}

}  // namespace
