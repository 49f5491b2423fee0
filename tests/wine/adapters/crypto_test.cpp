// The system's MD5, HMAC-SHA256 and Base64 against published vectors, and
// through them the SMS login hash and each bot's signature for fixed inputs.
// The expected signatures were computed with Python's hmac, hashlib and
// base64 modules on Linux (base64.b64encode(hmac.new(key, message,
// hashlib.sha256).digest()), then urllib.parse.quote for DingTalk's).
#include <gtest/gtest.h>

#include <string>

#include "online/crypto_win32.h"
#include "online/push_kinds.h"
#include "online/service_protocol.h"

namespace {

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (char byte : bytes)
        hex += {"0123456789abcdef"[uint8_t(byte) >> 4], "0123456789abcdef"[byte & 15]};
    return hex;
}

TEST(Crypto, PublishedVectorsAndTheBotsSignatures)
{
    const PushCrypto system = {Base64, HmacSha256};
    const PushMessage test{"Kestrova test", "default", "bell", "Test."};
    const std::string ding = MakePushRequest({PushKind::DingTalk, "https://oapi.dingtalk.com/robot/send?access_token=t",
                                              "SECkestrova"}, test, 1700000000000, system).url;
    const std::string feishu = MakePushRequest({PushKind::Feishu, "https://open.feishu.cn/open-apis/bot/v2/hook/h",
                                                "kestrova-secret"}, test, 1700000000999, system).body;
    int32_t nonce = 2147483647;  // the next one wraps
    const std::string login = SignedRequestUrl(KIND_ACCOUNT_INFO, {"", "u", "x"}, nonce, Md5Hex);
    const struct {
        std::string got;
        const char* expected;
    } rows[] = {
        // RFC 4231, test cases 1 and 6 (a key longer than a block, as a
        // DingTalk secret is).
        {Hex(HmacSha256(std::string(20, '\x0b'), "Hi There")),
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {Hex(HmacSha256(std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First")),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        // RFC 1321's empty message.
        {Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e"},
        // The login hash: MD5 of the password and the nonce's digits.
        {login.substr(login.find("&h=")), "&h=123494b5f221a10a7786096ef1ac50df"},
        // ntfy's documented Basic example, and one past a line's 76 characters.
        {Base64("phil:mypass"), "cGhpbDpteXBhc3M="},
        {Base64(std::string(60, 'k')),
         "a2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tra2tr"},
        // DingTalk: secret SECkestrova at 1700000000000 ms; Feishu: secret
        // kestrova-secret at 1700000000 s.
        {ding.substr(ding.find("&timestamp=")),
         "&timestamp=1700000000000&sign=GvR86WYVH02kN5PZO4fX9jAjft3kyiUsEJvFp7ZdhwA%3D"},
        {feishu.substr(0, feishu.find(",\"msg_type\"")),
         R"({"timestamp":"1700000000","sign":"v9snQWb0ClvZfWW4ArxSd03sVavEUHIzM/EQrW4IpbE=")"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.got, row.expected);
}

}  // namespace
