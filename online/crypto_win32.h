// The digests and the encoding the program needs, from the system (BCrypt,
// CryptBinaryToStringA): MD5 for the SMS service's login hash, HMAC-SHA256
// and Base64 for the push services' signatures and Basic authorization.
// A failed call is logged and gives an empty text, which the far end refuses.
#pragma once

#include <string>

// 32 lowercase hexadecimal digits.
std::string Md5Hex(const std::string& bytes);
// The 32 bytes of the MAC.
std::string HmacSha256(const std::string& key, const std::string& message);
// One line: without CRYPT_STRING_NOCRLF a line break would end every signature.
std::string Base64(const std::string& bytes);
