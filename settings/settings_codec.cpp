#include "settings/settings_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "online/push_notice.h"
#include "settings/service_url.h"
#include "win32/event_log.h"

namespace {

// Every value the record is stored in, in the order they are written: its
// type, its size (a number's bytes, the buffer a text is read with) and the
// call it goes through (the A calls for the account texts). Read back with
// another type, or a number of another size, a value is bad and its default
// stands in for it.
struct StoredValue {
    const char* name;
    uint32_t type;
    size_t size;
    TextWidth width;
};
enum { FLAGS, SENSITIVITY, LAST_CHECKED, HOT_KEY, PASSWORD, SERVER_USER, SERVER_PASS, VERSION, NOTIFY_URL, NOTIFY_KIND,
       STORED_COUNT };
constexpr StoredValue STORED[STORED_COUNT] = {
    {"Settings", REGISTRY_TYPE_DWORD, 4, TextWidth::Wide},
    {"Sensitivity", REGISTRY_TYPE_DWORD, 4, TextWidth::Wide},
    {"LastChecked", REGISTRY_TYPE_DWORD, 4, TextWidth::Wide},
    {"HotKey", REGISTRY_TYPE_DWORD, 4, TextWidth::Wide},
    {"PW", REGISTRY_TYPE_SZ, PASSWORD_UNITS * 2, TextWidth::Wide},
    {"ServerUser", REGISTRY_TYPE_SZ, ACCOUNT_BYTES, TextWidth::Narrow},
    {"ServerPass", REGISTRY_TYPE_SZ, ACCOUNT_BYTES, TextWidth::Narrow},
    // The double 1.99 as the program has always stored it: current only as
    // these 8 bytes, whatever the type read back.
    {"LastVersion", REGISTRY_TYPE_DWORD, 8, TextWidth::Wide},
    // Plain ASCII; both deleted when there is no address.
    {"NotifyUrl", REGISTRY_TYPE_SZ, (PUSH_ADDRESS_MAX_CHARS + 1) * 2, TextWidth::Wide},
    {"NotifyKind", REGISTRY_TYPE_SZ, (16 + 1) * 2, TextWidth::Wide},
};
using StoredBytes = std::array<std::vector<uint8_t>, STORED_COUNT>;

std::vector<uint8_t> LittleEndian(uint64_t number, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(number >> (8 * i));
    return bytes;
}

uint32_t Word(const std::vector<uint8_t>& bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
}

// UTF-16 little-endian, each unit as given.
std::vector<uint8_t> WideBytes(const std::u16string& units)
{
    std::vector<uint8_t> bytes;
    for (char16_t unit : units)
        bytes.insert(bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    return bytes;
}

// A REG_SZ's UTF-16 text up to its first NUL (or the buffer's end).
std::u16string WideText(const std::vector<uint8_t>& bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size() && (bytes[i] | bytes[i + 1]) != 0; i += 2)
        text.push_back(char16_t(bytes[i] | bytes[i + 1] << 8));
    return text;
}

// Plain ASCII or nothing: what is sent in a request line or a header is
// never converted on the way.
std::optional<std::string> AsciiText(const std::vector<uint8_t>& bytes)
{
    const std::u16string wide = WideText(bytes);
    if (std::any_of(wide.begin(), wide.end(), [](char16_t unit) { return unit >= 0x80; }))
        return std::nullopt;
    return std::string(wide.begin(), wide.end());
}

StoredBytes Encode(const Settings& settings)
{
    const auto account = [](std::string text) {
        text.resize(ACCOUNT_BYTES);  // its NUL and zeros to the end of the field
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    const auto ascii = [](const std::string& text) {
        return WideBytes(std::u16string(text.begin(), text.end()) + u'\0');
    };
    uint64_t version;
    std::memcpy(&version, &PROGRAM_VERSION, sizeof version);
    const int16_t year = settings.lastCheckedYear;
    // The password as its whole 10-unit buffer, terminator and zeros included.
    return {LittleEndian(settings.flags, 4), LittleEndian(uint32_t(settings.sensitivity), 4),
            {uint8_t(settings.lastCheckedDay), uint8_t(settings.lastCheckedMonth), uint8_t(year), uint8_t(year >> 8)},
            LittleEndian(settings.hotKeyModifiers << 8 | settings.hotKeyCode, 4),
            WideBytes(std::u16string(settings.password, PASSWORD_UNITS)), account(settings.GetServerUser()),
            account(settings.GetServerPass()), LittleEndian(version, 8), ascii(settings.GetNotifyUrl()),
            ascii(PUSH_KIND_NAMES[size_t(settings.notifyKind)])};
}

void Decode(const StoredBytes& stored, Settings& settings)
{
    settings.flags = Word(stored[FLAGS]);
    settings.sensitivity = int32_t(Word(stored[SENSITIVITY]));
    const std::vector<uint8_t>& date = stored[LAST_CHECKED];  // day, month, then the year's two bytes
    settings.lastCheckedDay = int8_t(date[0]);
    settings.lastCheckedMonth = int8_t(date[1]);
    settings.lastCheckedYear = int16_t(date[2] | date[3] << 8);
    settings.hotKeyModifiers = stored[HOT_KEY][1];
    settings.hotKeyCode = stored[HOT_KEY][0];
    settings.SetPassword(WideText(stored[PASSWORD]));
    const auto narrow = [](const std::vector<uint8_t>& bytes) {  // up to its first NUL
        return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
    };
    settings.SetServerUser(narrow(stored[SERVER_USER]));
    settings.SetServerPass(narrow(stored[SERVER_PASS]));
    settings.SetNotifyUrl(AsciiText(stored[NOTIFY_URL]).value_or(""));
    const auto named = std::find(std::begin(PUSH_KIND_NAMES), std::end(PUSH_KIND_NAMES),
                                 AsciiText(stored[NOTIFY_KIND]).value_or(""));
    settings.notifyKind = named == std::end(PUSH_KIND_NAMES) ? PushKind::Ntfy : PushKind(named - PUSH_KIND_NAMES);
    if (stored[VERSION] != Encode(Settings{})[VERSION])
        settings.SetFlag(FLAG_AGREEMENT_PENDING, true);
}

// Writes the values [first, last) of the table; those refused are named in
// one line of the owner's log.
void WriteStored(RegistryKey& key, const StoredBytes& stored, size_t first, size_t last)
{
    std::string failed;
    uint32_t firstError = 0;
    for (size_t i = first; i < last; ++i) {
        if (const uint32_t error = key.Write(STORED[i].name, {STORED[i].type, stored[i]}, STORED[i].width)) {
            failed += (failed.empty() ? "" : ", ") + std::string(STORED[i].name);
            firstError = firstError != 0 ? firstError : error;
        }
    }
    if (!failed.empty())
        LogEvent("The settings could not be saved (error " + std::to_string(firstError) + "): " + failed);
}

}  // namespace

std::optional<std::string> ReadAsciiText(RegistryKey& key, const char* name, size_t maxChars)
{
    const std::optional<RegistryValue> value = key.Read(name, (maxChars + 1) * 2, TextWidth::Wide);
    return value && value->type == REGISTRY_TYPE_SZ ? AsciiText(value->bytes) : std::nullopt;
}

std::unique_ptr<RegistryKey> LoadSettings(Settings& settings, RegistryStore& store)
{
    settings = Settings{};  // the defaults, for a new key or none
    OpenedKey opened = store.OpenOrCreate();
    if (opened.key && !opened.created) {
        StoredBytes stored = Encode(settings);  // each default stands in for a missing or bad value
        stored[VERSION].clear();  // and none asks for the agreement again
        for (size_t i = 0; i < STORED_COUNT; ++i) {
            const StoredValue& row = STORED[i];
            const std::optional<RegistryValue> value = opened.key->Read(row.name, row.size, row.width);
            if (value && (i == VERSION || (value->type == row.type &&
                                           (row.type == REGISTRY_TYPE_SZ || value->bytes.size() == row.size))))
                stored[i] = value->bytes;
        }
        Decode(stored, settings);
        const std::optional<std::string> url = ReadAsciiText(*opened.key, "ServiceUrl", SERVICE_URL_MAX_CHARS);
        if (url && IsWellFormedServiceUrl(*url))
            settings.serviceUrl = *url;
    }
    settings.SetFlag(FLAG_ARMED, false);  // an armed bit never survives a restart
    return std::move(opened.key);
}

void WriteSettings(const Settings& settings, RegistryKey& key)
{
    const StoredBytes stored = Encode(settings);
    WriteStored(key, stored, 0, NOTIFY_URL);
    if (!settings.GetNotifyUrl().empty()) {
        WriteStored(key, stored, NOTIFY_URL, STORED_COUNT);
    } else {
        key.Delete("NotifyUrl");
        key.Delete("NotifyKind");
    }
}
