// The settings load from a key holding anything: every value name with any
// type, size and bytes, plus unknown names. The record must come out in range
// (no armed bit, terminated password, short accounts, a usable service
// address), each number value must be the stored word or its default, and a
// save followed by a load must give back the same record.

#include <cstring>
#include <optional>

#include "fake_registry.h"
#include "fuzz_input.h"
#include "settings/service_url.h"
#include "settings/settings.h"
#include "settings/settings_codec.h"

namespace {

const char* const NAMES[] = {"Settings", "Sensitivity", "HotKey",     "LastChecked", "PW",
                             "ServerUser", "ServerPass", "LastVersion", "ServiceUrl", "Other"};
constexpr size_t NAME_COUNT = sizeof NAMES / sizeof NAMES[0];

// Mostly the two types the program uses, sometimes any other.
uint32_t PickType(FuzzInput& input)
{
    uint8_t choice = input.Byte();
    switch (choice % 4) {
    case 0:
        return REGISTRY_TYPE_SZ;
    case 1:
        return REGISTRY_TYPE_DWORD;
    case 2:
        return choice >> 2;  // REG_NONE, REG_BINARY, REG_QWORD, ...
    default:
        return input.Word();
    }
}

std::optional<uint32_t> StoredWord(const FakeRegistry& registry, const char* name)
{
    auto found = registry.values.find(name);
    if (found == registry.values.end() || found->second.type != REGISTRY_TYPE_DWORD ||
        found->second.bytes.size() != 4)
        return std::nullopt;
    uint32_t value;
    std::memcpy(&value, found->second.bytes.data(), 4);  // little-endian host
    return value;
}

struct Persisted {
    uint32_t flags;
    int32_t sensitivity;
    uint32_t hotKeyModifiers;
    uint32_t hotKeyCode;
    int8_t day;
    int8_t month;
    int16_t year;
    std::u16string password;
    std::string user;
    std::string pass;

    bool operator==(const Persisted& other) const
    {
        return flags == other.flags && sensitivity == other.sensitivity &&
               hotKeyModifiers == other.hotKeyModifiers && hotKeyCode == other.hotKeyCode && day == other.day &&
               month == other.month && year == other.year && password == other.password && user == other.user &&
               pass == other.pass;
    }
};

Persisted Capture(const Settings& settings)
{
    return {settings.flags,          settings.sensitivity,     settings.hotKeyModifiers,
            settings.hotKeyCode,            settings.lastCheckedDay,  settings.lastCheckedMonth,
            settings.lastCheckedYear, settings.GetPassword(),         settings.GetServerUser(),
            settings.GetServerPass()};
}

void CheckInRange(const Settings& settings)
{
    FUZZ_CHECK(!settings.HasFlag(FLAG_ARMED));
    FUZZ_CHECK(settings.password[PASSWORD_UNITS - 1] == 0);
    std::u16string password = settings.GetPassword();
    FUZZ_CHECK(password.size() < PASSWORD_UNITS);
    std::string user = settings.GetServerUser();
    std::string pass = settings.GetServerPass();
    FUZZ_CHECK(user.size() < ACCOUNT_BYTES && user.find('\0') == std::string::npos);
    FUZZ_CHECK(pass.size() < ACCOUNT_BYTES && pass.find('\0') == std::string::npos);
    FUZZ_CHECK(settings.serviceUrl == KESTROVA_SERVICE_URL || IsWellFormedServiceUrl(settings.serviceUrl));
    FUZZ_CHECK(settings.hotKeyModifiers <= 0xFF && settings.hotKeyCode <= 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    FakeRegistry registry;
    uint8_t shape = input.Byte();
    registry.exists = (shape & 1) != 0;
    registry.openable = (shape & 6) != 0;  // one case in four: the key cannot be had
    while (!input.Empty()) {
        const char* name = NAMES[input.Byte() % NAME_COUNT];
        RegistryValue value;
        value.type = PickType(input);
        std::string bytes = input.Bytes(input.Byte() % 240);  // past every read buffer
        value.bytes.assign(bytes.begin(), bytes.end());
        registry.values[name] = value;
    }
    const FakeRegistry stored = registry;

    Settings settings;
    const std::unique_ptr<RegistryKey> key = LoadSettings(settings, OpenFakeKey(registry));
    CheckInRange(settings);

    if (stored.openable && stored.exists) {
        FUZZ_CHECK(settings.sensitivity == int32_t(StoredWord(stored, "Sensitivity").value_or(DEFAULT_SENSITIVITY)));
        if (std::optional<uint32_t> flags = StoredWord(stored, "Settings"))
            FUZZ_CHECK((settings.flags & ~(FLAG_ARMED | FLAG_AGREEMENT_PENDING)) ==
                       (*flags & ~(FLAG_ARMED | FLAG_AGREEMENT_PENDING)));
        else
            FUZZ_CHECK(settings.flags == (DEFAULT_FLAGS & ~FLAG_ARMED));
        uint32_t hotKey = StoredWord(stored, "HotKey").value_or(0x367);
        FUZZ_CHECK(settings.hotKeyModifiers == ((hotKey >> 8) & 0xFF) && settings.hotKeyCode == (hotKey & 0xFF));
    } else {
        FUZZ_CHECK(settings.flags == (DEFAULT_FLAGS & ~FLAG_ARMED));
        FUZZ_CHECK(settings.sensitivity == DEFAULT_SENSITIVITY);
        FUZZ_CHECK(settings.GetPassword().empty() && settings.GetServerUser().empty());
    }

    // What is saved loads back unchanged, and the agreement is not asked again.
    const Persisted before = Capture(settings);
    if (key) {
        WriteSettings(settings, *key);
        Settings reloaded;
        LoadSettings(reloaded, OpenFakeKey(registry));
        CheckInRange(reloaded);
        FUZZ_CHECK(Capture(reloaded) == before);
    }
    return 0;
}
