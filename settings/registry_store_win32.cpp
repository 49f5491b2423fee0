#include "settings/registry_store_win32.h"

#include <vector>

#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

// Value types pass through the store unchanged.
static_assert(REGISTRY_TYPE_SZ == REG_SZ, "REG_SZ");
static_assert(REGISTRY_TYPE_DWORD == REG_DWORD, "REG_DWORD");

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

namespace {

class Win32RegistryKey : public RegistryKey {
public:
    explicit Win32RegistryKey(ScopedKey key) : key_(std::move(key)) {}

    std::optional<RegistryValue> Read(const std::string& name, size_t bufferSize, TextWidth width) override
    {
        // A value larger than the buffer fails with ERROR_MORE_DATA.
        std::vector<BYTE> buffer(bufferSize);
        DWORD type = 0, size = DWORD(bufferSize);
        LSTATUS status = width == TextWidth::Wide
                             ? RegQueryValueExW(key_.Get(), Widened(name).c_str(), nullptr, &type, buffer.data(), &size)
                             : RegQueryValueExA(key_.Get(), name.c_str(), nullptr, &type, buffer.data(), &size);
        if (status != ERROR_SUCCESS || size > bufferSize)
            return std::nullopt;
        return RegistryValue{type, std::vector<uint8_t>(buffer.begin(), buffer.begin() + size)};
    }

    uint32_t Write(const std::string& name, const RegistryValue& value, TextWidth width) override
    {
        const DWORD size = DWORD(value.bytes.size());
        return uint32_t(width == TextWidth::Wide
                            ? RegSetValueExW(key_.Get(), Widened(name).c_str(), 0, value.type, value.bytes.data(), size)
                            : RegSetValueExA(key_.Get(), name.c_str(), 0, value.type, value.bytes.data(), size));
    }

    bool Delete(const std::string& name) override
    {
        LSTATUS status = RegDeleteValueW(key_.Get(), Widened(name).c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }

    uint32_t Flush() override { return uint32_t(RegFlushKey(key_.Get())); }

private:
    ScopedKey key_;
};

}  // namespace

OpenedKey OpenRegistryKey(HKEY root, const std::wstring& path)
{
    ScopedKey key;
    DWORD disposition = 0;
    // Reading and setting values is all the program does; asking for more
    // (KEY_WRITE includes creating subkeys) fails where only values may be
    // set, and every save would then be dropped.
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.Receive(), &disposition);
    if (!LogIfError(status, "RegCreateKeyExW") && status == ERROR_ACCESS_DENIED) {
        // A key we may read but not write (locked by policy or by hand)
        // still holds the owner's settings, password included: load them
        // rather than the defaults; the writes at exit then fail, and the
        // owner's log says so.
        status = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
        disposition = REG_OPENED_EXISTING_KEY;
        LogIfError(status, "RegOpenKeyExW");
    }
    if (status != ERROR_SUCCESS)
        return {};
    return {std::make_unique<Win32RegistryKey>(std::move(key)), disposition == REG_CREATED_NEW_KEY};
}

OpenedKey OpenSettingsKey()
{
    return OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Nobrik\\Kestrova");
}
