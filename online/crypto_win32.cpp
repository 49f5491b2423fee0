#include "online/crypto_win32.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>

#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) noexcept
{
    BCryptCloseAlgorithmProvider(algorithm, 0);
}

// The digest of message by the algorithm, keyed for an HMAC, by calls every
// Windows the program runs on has (BCryptHash, one call, needs Windows 10).
// An NTSTATUS fails as an HRESULT does: negative.
std::string Digest(const wchar_t* algorithm, ULONG flags, const std::string& key, const std::string& message,
                   ULONG bytes)
{
    UniqueHandle<BCRYPT_ALG_HANDLE, CloseAlgorithm> provider;
    UniqueHandle<BCRYPT_HASH_HANDLE, BCryptDestroyHash> hash;
    std::string digest(bytes, '\0');
    if (LogIfFailed(BCryptOpenAlgorithmProvider(provider.Receive(), algorithm, nullptr, flags),
                    "BCryptOpenAlgorithmProvider") &&
        LogIfFailed(BCryptCreateHash(provider.Get(), hash.Receive(), nullptr, 0,
                                     key.empty() ? nullptr : PUCHAR(key.data()), ULONG(key.size()), 0),
                    "BCryptCreateHash") &&
        LogIfFailed(BCryptHashData(hash.Get(), PUCHAR(message.data()), ULONG(message.size()), 0), "BCryptHashData") &&
        LogIfFailed(BCryptFinishHash(hash.Get(), PUCHAR(&digest[0]), bytes, 0), "BCryptFinishHash"))
        return digest;
    return {};
}

}  // namespace

std::string Md5Hex(const std::string& bytes)
{
    std::string hex;
    for (char byte : Digest(BCRYPT_MD5_ALGORITHM, 0, {}, bytes, 16))
        hex += {"0123456789abcdef"[uint8_t(byte) >> 4], "0123456789abcdef"[byte & 15]};
    return hex;
}

std::string HmacSha256(const std::string& key, const std::string& message)
{
    return Digest(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG, key, message, 32);
}

std::string Base64(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    DWORD length = DWORD((bytes.size() + 2) / 3 * 4 + 1);  // with the terminating zero, then without it
    std::string text(length, '\0');
    if (LogIfFalse(CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()),
                                        CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &text[0], &length),
                   "CryptBinaryToStringA"))
        return text.substr(0, length);
    return {};
}
