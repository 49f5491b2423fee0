#include "settings/settings_codec.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "settings/service_url.h"
#include "win32/event_log.h"

namespace {

// A 4-byte REG_DWORD, or nothing: a value of another type or size is as bad
// as a missing one.
std::optional<uint32_t> ReadWord(RegistryKey& key, const char* name)
{
    const std::optional<RegistryValue> value = key.Read(name, 4, TextWidth::Wide);
    if (!value || value->type != REGISTRY_TYPE_DWORD || value->bytes.size() != 4)
        return std::nullopt;
    const std::vector<uint8_t>& bytes = value->bytes;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
}

// A REG_SZ's text up to its first NUL (or the buffer's end): UTF-16 units
// through the W call, the A call's bytes one by one; empty when missing.
std::u16string ReadText(RegistryKey& key, const char* name, size_t bufferBytes, TextWidth width)
{
    const std::optional<RegistryValue> value = key.Read(name, bufferBytes, width);
    const size_t step = width == TextWidth::Wide ? 2 : 1;
    std::u16string text;
    for (size_t i = 0; value && value->type == REGISTRY_TYPE_SZ && i + step <= value->bytes.size(); i += step)
        text.push_back(char16_t(value->bytes[i] | (step == 2 ? value->bytes[i + 1] << 8 : 0)));
    return text.substr(0, text.find(u'\0'));
}

std::string Narrow(const std::u16string& bytes)  // the A call's text, a byte a unit
{
    return std::string(bytes.begin(), bytes.end());
}

// A number as stored, little-endian.
RegistryValue Number(uint64_t number, size_t size)
{
    RegistryValue value{REGISTRY_TYPE_DWORD, {}};
    for (size_t i = 0; i < size; ++i)
        value.bytes.push_back(uint8_t(number >> (8 * i)));
    return value;
}

// "LastVersion": the double 1.99 in 8 bytes of type REG_DWORD, as the program
// has always stored it.
RegistryValue CurrentVersion()
{
    uint64_t bits;
    std::memcpy(&bits, &PROGRAM_VERSION, sizeof bits);
    return Number(bits, 8);
}

// A text as the W call stores it: UTF-16 little-endian, each unit as given.
RegistryValue WideText(const std::u16string& units)
{
    RegistryValue value{REGISTRY_TYPE_SZ, {}};
    for (char16_t unit : units)
        value.bytes.insert(value.bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    return value;
}

struct NamedValue {
    const char* name;
    RegistryValue value;
    TextWidth width = TextWidth::Wide;
};

// Writes the values in turn; those refused are named in one line of the
// owner's log.
void WriteValues(RegistryKey& key, std::initializer_list<NamedValue> values)
{
    std::string failed;
    uint32_t firstError = 0;
    for (const NamedValue& named : values) {
        if (const uint32_t error = key.Write(named.name, named.value, named.width)) {
            failed += (failed.empty() ? "" : ", ") + std::string(named.name);
            firstError = firstError != 0 ? firstError : error;
        }
    }
    if (!failed.empty())
        LogEvent("The settings could not be saved (error " + std::to_string(firstError) + "): " + failed);
}

// Each value on its own: a missing or bad one leaves its default.
void ReadStoredValues(Settings& settings, RegistryKey& key)
{
    settings.flags = ReadWord(key, "Settings").value_or(DEFAULT_FLAGS);
    settings.sensitivity = int32_t(ReadWord(key, "Sensitivity").value_or(DEFAULT_SENSITIVITY));
    const uint32_t hotKey = ReadWord(key, "HotKey").value_or(DEFAULT_HOTKEY_MODIFIERS << 8 | DEFAULT_HOTKEY_CODE);
    settings.hotKeyModifiers = (hotKey >> 8) & 0xFF;
    settings.hotKeyCode = hotKey & 0xFF;
    settings.startWithWindows = ReadWord(key, "StartWithWindows").value_or(0) != 0;
    const uint32_t lastChecked = ReadWord(key, "LastChecked").value_or(0);
    settings.lastCheckedDay = int8_t(lastChecked & 0xFF);
    settings.lastCheckedMonth = int8_t((lastChecked >> 8) & 0xFF);
    settings.lastCheckedYear = int16_t(lastChecked >> 16);
    settings.SetPassword(ReadText(key, "PW", PASSWORD_UNITS * 2, TextWidth::Wide));
    settings.SetServerUser(Narrow(ReadText(key, "ServerUser", ACCOUNT_BYTES, TextWidth::Narrow)));
    settings.SetServerPass(Narrow(ReadText(key, "ServerPass", ACCOUNT_BYTES, TextWidth::Narrow)));
    settings.notifyUrl = ReadAsciiText(key, "NotifyUrl", PUSH_ADDRESS_MAX_CHARS).value_or("");
    const std::string kind = ReadAsciiText(key, "NotifyKind", 16).value_or("");
    const auto named = std::find(std::begin(PUSH_KIND_NAMES), std::end(PUSH_KIND_NAMES), kind);
    settings.notifyKind = named == std::end(PUSH_KIND_NAMES) ? PushKind::Ntfy : PushKind(named - PUSH_KIND_NAMES);
    settings.takePhotos = ReadWord(key, "TakePhotos").value_or(0) != 0;
    const std::string url = ReadAsciiText(key, "ServiceUrl", SERVICE_URL_MAX_CHARS).value_or("");
    if (IsWellFormedServiceUrl(url))
        settings.serviceUrl = url;
    // The version counts only as the very bytes written, whatever its type.
    const std::optional<RegistryValue> version = key.Read("LastVersion", 8, TextWidth::Wide);
    if (!version || version->bytes != CurrentVersion().bytes)
        settings.SetFlag(FLAG_AGREEMENT_PENDING, true);
}

}  // namespace

std::optional<std::string> ReadAsciiText(RegistryKey& key, const char* name, size_t maxChars)
{
    const std::u16string text = ReadText(key, name, (maxChars + 1) * 2, TextWidth::Wide);
    if (std::any_of(text.begin(), text.end(), [](char16_t unit) { return unit >= 0x80; }))
        return std::nullopt;
    return std::string(text.begin(), text.end());
}

std::unique_ptr<RegistryKey> LoadSettings(Settings& settings, OpenedKey opened)
{
    settings = Settings{};  // the defaults, for a new key or none
    if (opened.key && !opened.created)
        ReadStoredValues(settings, *opened.key);
    settings.SetFlag(FLAG_ARMED, false);  // an armed bit never survives a restart
    return std::move(opened.key);
}

void WriteSettings(const Settings& settings, RegistryKey& key)
{
    const auto account = [](std::string text) {
        text.resize(ACCOUNT_BYTES);  // its NUL and zeros to the end of the field
        return RegistryValue{REGISTRY_TYPE_SZ, std::vector<uint8_t>(text.begin(), text.end())};
    };
    const uint32_t lastChecked = uint32_t(uint8_t(settings.lastCheckedDay)) |
                                 uint32_t(uint8_t(settings.lastCheckedMonth)) << 8 |
                                 uint32_t(uint16_t(settings.lastCheckedYear)) << 16;
    WriteValues(key, {{"Settings", Number(settings.flags, 4)},
                      {"Sensitivity", Number(uint32_t(settings.sensitivity), 4)},
                      {"LastChecked", Number(lastChecked, 4)},
                      {"HotKey", Number(settings.hotKeyModifiers << 8 | settings.hotKeyCode, 4)},
                      {"StartWithWindows", Number(settings.startWithWindows ? 1 : 0, 4)},
                      // The whole 10-unit buffer, terminator and zeros included.
                      {"PW", WideText(std::u16string(settings.password, PASSWORD_UNITS))},
                      {"ServerUser", account(settings.GetServerUser()), TextWidth::Narrow},
                      {"ServerPass", account(settings.GetServerPass()), TextWidth::Narrow},
                      {"LastVersion", CurrentVersion()},
                      {"TakePhotos", Number(settings.takePhotos, 4)}});
    const std::string& url = settings.notifyUrl;
    const std::string kind = PUSH_KIND_NAMES[size_t(settings.notifyKind)];
    if (url.empty()) {
        key.Delete("NotifyUrl");
        key.Delete("NotifyKind");
    } else {
        WriteValues(key, {{"NotifyUrl", WideText(std::u16string(url.begin(), url.end()) + u'\0')},
                          {"NotifyKind", WideText(std::u16string(kind.begin(), kind.end()) + u'\0')}});
    }
}
