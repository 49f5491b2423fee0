#include "settings/settings_codec.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "win32/event_log.h"
#include "online/push_notice.h"
#include "settings/service_url.h"

namespace {

constexpr size_t DWORD_BYTES = 4;
constexpr size_t DOUBLE_BYTES = 8;
constexpr size_t PASSWORD_BYTES = PASSWORD_UNITS * 2;

uint64_t FromLittleEndian(const std::vector<uint8_t>& bytes)
{
    uint64_t number = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        number |= uint64_t(bytes[i]) << (8 * i);
    return number;
}

RegistryValue LittleEndianValue(uint64_t number, size_t size)
{
    RegistryValue value{REGISTRY_TYPE_DWORD, {}};
    for (size_t i = 0; i < size; ++i)
        value.bytes.push_back(uint8_t(number >> (8 * i)));
    return value;
}

// A 4-byte REG_DWORD, or nothing: a value of another type or size is as bad
// as a missing one.
std::optional<uint32_t> ReadWord(RegistryKey& key, const char* name)
{
    std::optional<RegistryValue> value = key.Read(name, DWORD_BYTES, TextWidth::Wide);
    if (!value || value->type != REGISTRY_TYPE_DWORD || value->bytes.size() != DWORD_BYTES)
        return std::nullopt;
    return uint32_t(FromLittleEndian(value->bytes));
}

// UTF-16 text up to its first NUL (or the buffer's end), from a REG_SZ.
std::optional<std::u16string> ReadWideText(RegistryKey& key, const char* name, size_t bufferBytes)
{
    std::optional<RegistryValue> value = key.Read(name, bufferBytes, TextWidth::Wide);
    if (!value || value->type != REGISTRY_TYPE_SZ)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < value->bytes.size(); i += 2)
        text.push_back(char16_t(value->bytes[i] | value->bytes[i + 1] << 8));
    return text.substr(0, text.find(u'\0'));
}

// 8-bit text up to its first NUL, from a REG_SZ read through the A call.
std::optional<std::string> ReadNarrowText(RegistryKey& key, const char* name)
{
    std::optional<RegistryValue> value = key.Read(name, ACCOUNT_BYTES, TextWidth::Narrow);
    if (!value || value->type != REGISTRY_TYPE_SZ)
        return std::nullopt;
    const std::string text(value->bytes.begin(), value->bytes.end());
    return text.substr(0, text.find('\0'));
}

// "LastVersion" is 8 bytes whatever type it carries.
bool StoredVersionIsCurrent(RegistryKey& key)
{
    std::optional<RegistryValue> value = key.Read("LastVersion", DOUBLE_BYTES, TextWidth::Wide);
    if (!value || value->bytes.size() != DOUBLE_BYTES)
        return false;
    const uint64_t bits = FromLittleEndian(value->bytes);
    double version;
    std::memcpy(&version, &bits, sizeof version);
    return version == PROGRAM_VERSION;  // false for a NaN too
}

// Each value on its own: a missing or bad one leaves its default.
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
    settings.SetNotifyUrl(ReadAsciiText(key, "NotifyUrl", PUSH_ADDRESS_MAX_CHARS).value_or(""));
    const std::string kind = ReadAsciiText(key, "NotifyKind", 16).value_or("ntfy");
    const auto named = std::find(std::begin(PUSH_KIND_NAMES), std::end(PUSH_KIND_NAMES), kind);
    settings.notifyKind = named == std::end(PUSH_KIND_NAMES) ? PushKind::Ntfy : PushKind(named - PUSH_KIND_NAMES);
    std::optional<std::string> url = ReadAsciiText(key, "ServiceUrl", SERVICE_URL_MAX_CHARS);
    if (url && IsWellFormedServiceUrl(*url))
        settings.serviceUrl = *url;

    if (!StoredVersionIsCurrent(key))
        settings.SetFlag(FLAG_AGREEMENT_PENDING, true);
}

// The text, its NUL and zeros to the end of the 100-byte field.
RegistryValue AccountField(const std::string& text)
{
    RegistryValue value{REGISTRY_TYPE_SZ, std::vector<uint8_t>(ACCOUNT_BYTES, 0)};
    std::memcpy(value.bytes.data(), text.data(), std::min(text.size(), ACCOUNT_BYTES - 1));
    return value;
}

// UTF-16 little-endian, each unit as given: the caller adds the NUL.
RegistryValue WideField(const std::u16string& units)
{
    RegistryValue value{REGISTRY_TYPE_SZ, {}};
    for (char16_t unit : units)
        value.bytes.insert(value.bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    return value;
}

// Type REG_DWORD but 8 bytes: the double 1.99, as the program has always
// stored it.
RegistryValue VersionField()
{
    uint64_t bits;
    const double version = PROGRAM_VERSION;
    std::memcpy(&bits, &version, sizeof bits);
    return LittleEndianValue(bits, DOUBLE_BYTES);
}

}  // namespace

std::optional<std::string> ReadAsciiText(RegistryKey& key, const char* name, size_t maxChars)
{
    std::optional<std::u16string> wide = ReadWideText(key, name, (maxChars + 1) * 2);
    if (!wide || std::any_of(wide->begin(), wide->end(), [](char16_t unit) { return unit >= 0x80; }))
        return std::nullopt;
    return std::string(wide->begin(), wide->end());
}

std::unique_ptr<RegistryKey> LoadSettings(Settings& settings, RegistryStore& store)
{
    settings = Settings{};  // the defaults, for a new key or none
    OpenedKey opened = store.OpenOrCreate();
    if (opened.key && !opened.created)
        ReadStoredValues(settings, *opened.key);
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
    const auto logFailed = [&] {
        if (!failed.empty())
            LogEvent("The settings could not be saved (error " + std::to_string(firstError) + "): " + failed);
        failed.clear();
        firstError = 0;
    };
    uint32_t lastChecked = uint32_t(uint8_t(settings.lastCheckedDay)) | uint32_t(uint8_t(settings.lastCheckedMonth)) << 8 |
                           uint32_t(uint16_t(settings.lastCheckedYear)) << 16;
    write("Settings", LittleEndianValue(settings.flags, DWORD_BYTES), TextWidth::Wide);
    write("Sensitivity", LittleEndianValue(uint32_t(settings.sensitivity), DWORD_BYTES), TextWidth::Wide);
    write("LastChecked", LittleEndianValue(lastChecked, DWORD_BYTES), TextWidth::Wide);
    write("HotKey", LittleEndianValue(settings.hotKeyModifiers << 8 | settings.hotKeyCode, DWORD_BYTES),
          TextWidth::Wide);
    // The whole 10-unit buffer, terminator and zeros included.
    write("PW", WideField(std::u16string(settings.password, PASSWORD_UNITS)), TextWidth::Wide);
    write("ServerUser", AccountField(settings.GetServerUser()), TextWidth::Narrow);
    write("ServerPass", AccountField(settings.GetServerPass()), TextWidth::Narrow);
    write("LastVersion", VersionField(), TextWidth::Wide);
    logFailed();

    const std::string& url = settings.GetNotifyUrl();
    if (url.empty()) {
        key.Delete("NotifyUrl");
        key.Delete("NotifyKind");
        return;
    }
    const std::string kind = PUSH_KIND_NAMES[size_t(settings.notifyKind)];
    write("NotifyUrl", WideField(std::u16string(url.begin(), url.end()) + u'\0'), TextWidth::Wide);
    write("NotifyKind", WideField(std::u16string(kind.begin(), kind.end()) + u'\0'), TextWidth::Wide);
    logFailed();
}
