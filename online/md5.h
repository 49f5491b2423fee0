// MD5 message digest (RFC 1321). The SMS service signs its logins with it;
// it is no protection of anything else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using Md5Digest = std::array<uint8_t, 16>;

class Md5Context {
public:
    void Update(const void* data, size_t length);
    // Pads, appends the bit length and gives the digest; the object is then spent.
    Md5Digest Final();

private:
    void Transform(const uint8_t block[64]);

    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    uint64_t totalBytes = 0;
    uint8_t buffer[64];
    size_t buffered = 0;
};

// 32 lowercase hexadecimal digits, two per byte in digest order.
std::string DigestToHex(const Md5Digest& digest);
