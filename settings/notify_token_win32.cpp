#include "settings/notify_token_win32.h"

#include <windows.h>

#include <dpapi.h>

#include "settings/registry_store_win32.h"
#include "settings/settings_codec.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

namespace {

constexpr char PROTECTED_VALUE[] = "NotifyTokenProtected";
constexpr char PLAIN_VALUE[] = "NotifyToken";

void Delete(RegistryKey& key, const char* name)
{
    if (!key.Delete(name))
        LogEvent(std::string("The value ") + name + " could not be deleted");
}

}  // namespace

std::string LoadNotifyToken()
{
    const OpenedKey opened = OpenSettingsKey();
    if (!opened.key)
        return {};
    const std::optional<RegistryValue> sealed = opened.key->Read(PROTECTED_VALUE, 4096, TextWidth::Wide);
    if (!sealed || sealed->type != REG_BINARY)
        return ReadAsciiText(*opened.key, PLAIN_VALUE, NOTIFY_TOKEN_MAX_CHARS).value_or("");
    DATA_BLOB in = {DWORD(sealed->bytes.size()), const_cast<BYTE*>(sealed->bytes.data())};
    DATA_BLOB out = {};
    if (!LogIfFalse(CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out),
                    "CryptUnprotectData"))
        return {};
    const ScopedLocal<BYTE> owned(out.pbData);
    return std::string(reinterpret_cast<const char*>(out.pbData), out.cbData);
}

void SaveNotifyToken(const std::string& token)
{
    const OpenedKey opened = OpenSettingsKey();
    if (!opened.key)
        return;
    DATA_BLOB in = {DWORD(token.size()), reinterpret_cast<BYTE*>(const_cast<char*>(token.data()))};
    DATA_BLOB out = {};
    if (token.empty()) {
        Delete(*opened.key, PROTECTED_VALUE);
    } else if (!LogIfFalse(CryptProtectData(&in, L"Kestrova", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                                            &out),
                           "CryptProtectData")) {
        return;  // the plain value, if any, stays: better than none
    } else {
        const ScopedLocal<BYTE> owned(out.pbData);
        if (!LogIfError(opened.key->Write(PROTECTED_VALUE,
                                          {REG_BINARY, std::vector<uint8_t>(out.pbData, out.pbData + out.cbData)},
                                          TextWidth::Wide), "RegSetValueExW"))
            return;
    }
    Delete(*opened.key, PLAIN_VALUE);
}
