#include "settings/settings_codec.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "win32/event_log.h"
#include "online/push_notice.h"
#include "settings/service_url.h"

namespace {

constexpr size_t DWORD_BYTES = 4;
constexpr size_t DOUBLE_BYTES = 8;
constexpr size_t PASSWORD_BYTES = PASSWORD_UNITS * 2;
constexpr size_t SERVICE_URL_BYTES = (SERVICE_URL_MAX_CHARS + 1) * 2;
// Room for the longest address the settings dialog accepts, and a token.
constexpr size_t NOTIFY_URL_BYTES = (PUSH_ADDRESS_MAX_CHARS + 1) * 2;
constexpr size_t NOTIFY_TOKEN_BYTES = (NOTIFY_TOKEN_MAX_CHARS + 1) * 2;

uint32_t LittleEndianWord(const std::vector<uint8_t>& bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

std::vector<uint8_t> WordBytes(uint32_t value)
{
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

// A 4-byte REG_DWORD, or nothing: a value of another type or size is as bad
// as a missing one.
std::optional<uint32_t> ReadWord(RegistryKey& key, const char* name)
{
    std::optional<RegistryValue> value = key.Read(name, DWORD_BYTES, TextWidth::Wide);
    if (!value || value->type != REGISTRY_TYPE_DWORD || value->bytes.size() != DWORD_BYTES)
        return std::nullopt;
    return LittleEndianWord(value->bytes);
}

// UTF-16 text up to its first NUL (or the buffer's end), from a REG_SZ.
std::optional<std::u16string> ReadWideText(RegistryKey& key, const char* name, size_t bufferBytes)
{
    std::optional<RegistryValue> value = key.Read(name, bufferBytes, TextWidth::Wide);
    if (!value || value->type != REGISTRY_TYPE_SZ)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < value->bytes.size(); i += 2) {
        char16_t unit = char16_t(value->bytes[i] | value->bytes[i + 1] << 8);
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

// 8-bit text up to its first NUL, from a REG_SZ read through the A call.
std::optional<std::string> ReadNarrowText(RegistryKey& key, const char* name)
{
    std::optional<RegistryValue> value = key.Read(name, ACCOUNT_BYTES, TextWidth::Narrow);
    if (!value || value->type != REGISTRY_TYPE_SZ)
        return std::nullopt;
    const std::vector<uint8_t>& bytes = value->bytes;
    size_t length = 0;
    while (length < bytes.size() && bytes[length] != 0)
        ++length;
    return std::string(bytes.begin(), bytes.begin() + length);
}

// "LastVersion" is 8 bytes whatever type it carries.
bool StoredVersionIsCurrent(RegistryKey& key)
{
    std::optional<RegistryValue> value = key.Read("LastVersion", DOUBLE_BYTES, TextWidth::Wide);
    if (!value || value->bytes.size() != DOUBLE_BYTES)
        return false;
    uint64_t bits = 0;
    for (size_t i = 0; i < DOUBLE_BYTES; ++i)
        bits |= uint64_t(value->bytes[i]) << (8 * i);
    double version;
    std::memcpy(&version, &bits, sizeof version);
    return version == PROGRAM_VERSION;  // false for a NaN too
}

std::optional<std::string> ReadServiceUrl(RegistryKey& key)
{
    std::optional<std::u16string> wide = ReadWideText(key, "ServiceUrl", SERVICE_URL_BYTES);
    if (!wide)
        return std::nullopt;
    std::string url;
    for (char16_t unit : *wide) {
        if (unit >= 0x80)
            return std::nullopt;  // a host name here is plain ASCII
        url.push_back(char(unit));
    }
    if (!IsWellFormedServiceUrl(url))
        return std::nullopt;
    return url;
}

// Plain ASCII text, or nothing: what is sent in a request line or a header
// is never converted on the way.
std::optional<std::string> ReadAsciiText(RegistryKey& key, const char* name, size_t bufferBytes)
{
    std::optional<std::u16string> wide = ReadWideText(key, name, bufferBytes);
    if (!wide)
        return std::nullopt;
    std::string text;
    for (char16_t unit : *wide) {
        if (unit >= 0x80)
            return std::nullopt;
        text.push_back(char(unit));
    }
    return text;
}

void SetDefaults(Settings& settings)
{
    settings.flags = DEFAULT_FLAGS;
    settings.sensitivity = DEFAULT_SENSITIVITY;
    settings.hotKeyModifiers = DEFAULT_HOTKEY_MODIFIERS;
    settings.hotKeyCode = DEFAULT_HOTKEY_CODE;
    settings.SetPassword(u"");
    settings.SetServerUser("");
    settings.SetServerPass("");
    settings.SetNotifyUrl("");
    settings.SetNotifyToken("");
    settings.lastCheckedDay = 0;
    settings.lastCheckedMonth = 0;
    settings.lastCheckedYear = 0;
}

void ReadStoredValues(Settings& settings, RegistryKey& key)
{
    settings.flags = ReadWord(key, "Settings").value_or(DEFAULT_FLAGS);
    settings.sensitivity = int32_t(ReadWord(key, "Sensitivity").value_or(DEFAULT_SENSITIVITY));

    uint32_t hotKey = ReadWord(key, "HotKey").value_or(DEFAULT_HOTKEY_MODIFIERS << 8 | DEFAULT_HOTKEY_CODE);
    settings.hotKeyModifiers = (hotKey >> 8) & 0xFF;
    settings.hotKeyCode = hotKey & 0xFF;

    uint32_t lastChecked = ReadWord(key, "LastChecked").value_or(0);
    settings.lastCheckedDay = int8_t(lastChecked & 0xFF);
    settings.lastCheckedMonth = int8_t((lastChecked >> 8) & 0xFF);
    settings.lastCheckedYear = int16_t(lastChecked >> 16);

    settings.SetPassword(ReadWideText(key, "PW", PASSWORD_BYTES).value_or(u""));
    settings.SetServerUser(ReadNarrowText(key, "ServerUser").value_or(""));
    settings.SetServerPass(ReadNarrowText(key, "ServerPass").value_or(""));
    settings.SetNotifyUrl(ReadAsciiText(key, "NotifyUrl", NOTIFY_URL_BYTES).value_or(""));
    settings.SetNotifyToken(ReadAsciiText(key, "NotifyToken", NOTIFY_TOKEN_BYTES).value_or(""));

    if (!StoredVersionIsCurrent(key))
        settings.SetFlag(FLAG_AGREEMENT_PENDING, true);
}

RegistryValue Word(uint32_t value)
{
    return {REGISTRY_TYPE_DWORD, WordBytes(value)};
}

// The text, its NUL and zeros to the end of the 100-byte field.
RegistryValue AccountField(const std::string& text)
{
    RegistryValue value{REGISTRY_TYPE_SZ, std::vector<uint8_t>(ACCOUNT_BYTES, 0)};
    std::memcpy(value.bytes.data(), text.data(), std::min(text.size(), ACCOUNT_BYTES - 1));
    return value;
}

// The whole 10-unit buffer, terminator and zeros included.
RegistryValue PasswordField(const Settings& settings)
{
    RegistryValue value{REGISTRY_TYPE_SZ, std::vector<uint8_t>(PASSWORD_BYTES, 0)};
    for (size_t i = 0; i < PASSWORD_UNITS; ++i) {
        value.bytes[2 * i] = uint8_t(settings.password[i]);
        value.bytes[2 * i + 1] = uint8_t(settings.password[i] >> 8);
    }
    return value;
}

// Type REG_DWORD but 8 bytes: the double 1.99, as the program has always
// stored it.
RegistryValue VersionField()
{
    uint64_t bits;
    double version = PROGRAM_VERSION;
    std::memcpy(&bits, &version, sizeof bits);
    RegistryValue value{REGISTRY_TYPE_DWORD, {}};
    for (size_t i = 0; i < DOUBLE_BYTES; ++i)
        value.bytes.push_back(uint8_t(bits >> (8 * i)));
    return value;
}

void WriteNotifyUrl(const Settings& settings, RegistryKey& key)
{
    const std::string& url = settings.GetNotifyUrl();
    if (url.empty()) {
        key.Delete("NotifyUrl");
        return;
    }
    RegistryValue value{REGISTRY_TYPE_SZ, {}};
    for (char c : url) {
        value.bytes.push_back(uint8_t(c));
        value.bytes.push_back(0);
    }
    value.bytes.insert(value.bytes.end(), {0, 0});
    if (const uint32_t error = key.Write("NotifyUrl", value, TextWidth::Wide))
        LogEvent("The settings could not be saved (error " + std::to_string(error) + "): NotifyUrl");
}

}  // namespace

std::unique_ptr<RegistryKey> LoadSettings(Settings& settings, RegistryStore& store)
{
    settings.serviceUrl = KESTROVA_SERVICE_URL;
    OpenedKey opened = store.OpenOrCreate();
    if (!opened.key || opened.created) {
        SetDefaults(settings);
    } else {
        ReadStoredValues(settings, *opened.key);
        if (std::optional<std::string> url = ReadServiceUrl(*opened.key))
            settings.serviceUrl = *url;
    }
    settings.SetFlag(FLAG_ARMED, false);  // an armed bit never survives a restart
    return std::move(opened.key);
}

void WriteSettings(const Settings& settings, RegistryKey& key)
{
    std::string failed;
    uint32_t firstError = 0;
    const auto write = [&](const char* name, const RegistryValue& value, TextWidth width) {
        const uint32_t error = key.Write(name, value, width);
        if (error == 0)
            return;
        failed += failed.empty() ? name : std::string(", ") + name;
        if (firstError == 0)
            firstError = error;
    };
    uint32_t lastChecked = uint32_t(uint8_t(settings.lastCheckedDay)) | uint32_t(uint8_t(settings.lastCheckedMonth)) << 8 |
                           uint32_t(uint16_t(settings.lastCheckedYear)) << 16;
    write("Settings", Word(settings.flags), TextWidth::Wide);
    write("Sensitivity", Word(uint32_t(settings.sensitivity)), TextWidth::Wide);
    write("LastChecked", Word(lastChecked), TextWidth::Wide);
    write("HotKey", Word(settings.hotKeyModifiers << 8 | settings.hotKeyCode), TextWidth::Wide);
    write("PW", PasswordField(settings), TextWidth::Wide);
    write("ServerUser", AccountField(settings.GetServerUser()), TextWidth::Narrow);
    write("ServerPass", AccountField(settings.GetServerPass()), TextWidth::Narrow);
    write("LastVersion", VersionField(), TextWidth::Wide);
    if (!failed.empty())
        LogEvent("The settings could not be saved (error " + std::to_string(firstError) + "): " + failed);
    WriteNotifyUrl(settings, key);
}
