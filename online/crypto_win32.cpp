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

// The digest of message by the algorithm, keyed for an HMAC.
std::string Digest(const wchar_t* algorithm, ULONG flags, const std::string& key, const std::string& message,
                   ULONG bytes)
{
    UniqueHandle<BCRYPT_ALG_HANDLE, CloseAlgorithm> provider;
    NTSTATUS status = BCryptOpenAlgorithmProvider(provider.Receive(), algorithm, nullptr, flags);
    std::string digest(bytes, '\0');
    if (status >= 0)
        status = BCryptHash(provider.Get(), key.empty() ? nullptr : PUCHAR(key.data()), ULONG(key.size()),
                            PUCHAR(message.data()), ULONG(message.size()), PUCHAR(&digest[0]), bytes);
    if (status >= 0)
        return digest;
    LogFailedCall(provider ? "BCryptHash" : "BCryptOpenAlgorithmProvider", ULONG(status));
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
    if (CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()),
                             CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &text[0], &length))
        return text.substr(0, length);
    LogFailedCall("CryptBinaryToStringA", GetLastError());
    return {};
}
