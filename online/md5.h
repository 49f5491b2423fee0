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
    Md5Context();
    void Update(const void* data, size_t length);
    // Pads, appends the bit length and gives the digest; the object is then
    // spent until Reset.
    Md5Digest Final();
    void Reset();

private:
    void Transform(const uint8_t block[64]);

    uint32_t state[4];
    uint64_t totalBytes;
    uint8_t buffer[64];
    size_t buffered;
};

Md5Digest Md5(const void* data, size_t length);
// 32 lowercase hexadecimal digits, two per byte in digest order.
std::string Md5Hex(const std::string& message);
std::string DigestToHex(const Md5Digest& digest);
