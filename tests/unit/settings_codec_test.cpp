// The settings record against an in-memory registry: defaults, each bad
// value falling back alone, and the bytes written at exit.
#include <gtest/gtest.h>

#include <cstring>

#include "test_log.h"
#include "fake_registry.h"
#include "settings/settings_codec.h"

namespace {

RegistryValue Word(uint32_t value)
{
    return {REGISTRY_TYPE_DWORD, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

RegistryValue Text(const std::string& text, size_t size)
{
    RegistryValue value{REGISTRY_TYPE_SZ, std::vector<uint8_t>(size, 0)};
    std::memcpy(value.bytes.data(), text.data(), std::min(size, text.size()));
    return value;
}

RegistryValue WideText(const std::u16string& text, size_t size)
{
    RegistryValue value{REGISTRY_TYPE_SZ, std::vector<uint8_t>(size, 0)};
    for (size_t i = 0; i < text.size() && 2 * i + 1 < size; ++i) {
        value.bytes[2 * i] = uint8_t(text[i]);
        value.bytes[2 * i + 1] = uint8_t(text[i] >> 8);
    }
    return value;
}

const std::vector<uint8_t> VERSION_1_99 = {0xd7, 0xa3, 0x70, 0x3d, 0x0a, 0xd7, 0xff, 0x3f};

RegistryValue Version(double version)
{
    RegistryValue value{REGISTRY_TYPE_DWORD, std::vector<uint8_t>(8)};
    std::memcpy(value.bytes.data(), &version, 8);
    return value;
}

// A key as the program leaves it after an accepted agreement.
FakeRegistry SavedRegistry()
{
    FakeRegistry registry;
    registry.exists = true;
    registry.values["Settings"] = Word(0x4CA);
    registry.values["Sensitivity"] = Word(120);
    registry.values["HotKey"] = Word(0x0367);
    registry.values["StartWithWindows"] = Word(1);
    registry.values["LastChecked"] = Word(0x07EA0C08);  // 8 December 2026
    registry.values["PW"] = WideText(u"s3cret", 20);
    registry.values["ServerUser"] = Text("owner@example.org", 100);
    registry.values["ServerPass"] = Text("pa ss", 100);
    registry.values["LastVersion"] = {REGISTRY_TYPE_DWORD, VERSION_1_99};
    registry.values["TakePhotos"] = Word(1);
    return registry;
}

// The key the entry then saves through.
std::unique_ptr<RegistryKey> Load(Settings& settings, FakeRegistry& registry)
{
    return LoadSettings(settings, OpenFakeKey(registry));
}

void ExpectDefaults(const Settings& settings)
{
    EXPECT_EQ(settings.flags, DEFAULT_FLAGS & ~FLAG_ARMED);
    EXPECT_EQ(settings.sensitivity, 50);
    EXPECT_EQ(settings.GetPassword(), u"");
    EXPECT_EQ(settings.GetServerUser(), "");
    EXPECT_EQ(settings.GetServerPass(), "");
    EXPECT_EQ(settings.hotKeyModifiers, 3u);
    EXPECT_EQ(settings.hotKeyCode, 0x67u);
    EXPECT_FALSE(settings.startWithWindows);
    EXPECT_EQ(settings.lastCheckedDay, 0);
    EXPECT_EQ(settings.lastCheckedMonth, 0);
    EXPECT_EQ(settings.lastCheckedYear, 0);
    EXPECT_TRUE(settings.HasFlag(FLAG_AGREEMENT_PENDING));
}

TEST(SettingsLoad, FirstStartCreatesTheKeyAndTakesDefaults)
{
    FakeRegistry registry;
    Settings settings;
    EXPECT_NE(Load(settings, registry), nullptr);
    EXPECT_TRUE(registry.exists);
    ExpectDefaults(settings);
    EXPECT_EQ(settings.serviceUrl, KESTROVA_SERVICE_URL);
}

TEST(SettingsLoad, EmptyKeyReadsEveryDefaultOneByOne)
{
    FakeRegistry registry;
    registry.exists = true;
    Settings settings;
    Load(settings, registry);
    ExpectDefaults(settings);
}

TEST(SettingsLoad, KeyThatCannotBeOpenedGivesDefaultsAndWritesNothing)
{
    FakeRegistry registry;
    registry.openable = false;
    Settings settings;
    EXPECT_EQ(Load(settings, registry), nullptr);  // nothing to save through
    ExpectDefaults(settings);
}

TEST(SettingsLoad, SavedValuesComeBack)
{
    FakeRegistry registry = SavedRegistry();
    Settings settings;
    Load(settings, registry);
    EXPECT_EQ(settings.flags, 0x4CAu);
    EXPECT_EQ(settings.sensitivity, 120);
    EXPECT_EQ(settings.hotKeyModifiers << 8 | settings.hotKeyCode, 0x0367u);  // the "HotKey" word
    EXPECT_TRUE(settings.startWithWindows);
    EXPECT_EQ(settings.lastCheckedDay, 8);
    EXPECT_EQ(settings.lastCheckedMonth, 12);
    EXPECT_EQ(settings.lastCheckedYear, 2026);
    EXPECT_EQ(settings.GetPassword(), u"s3cret");
    EXPECT_EQ(settings.GetServerUser(), "owner@example.org");
    EXPECT_EQ(settings.GetServerPass(), "pa ss");
    EXPECT_FALSE(settings.HasFlag(FLAG_AGREEMENT_PENDING));
}

TEST(SettingsLoad, OtherStoredVersionsAskForTheAgreementAgain)
{
    for (double version : {1.98, 2.0, 0.0, std::numeric_limits<double>::quiet_NaN()}) {
        FakeRegistry registry = SavedRegistry();
        registry.values["LastVersion"] = Version(version);
        Settings settings;
        Load(settings, registry);
        EXPECT_TRUE(settings.HasFlag(FLAG_AGREEMENT_PENDING)) << version;
        EXPECT_EQ(settings.sensitivity, 120) << "the rest still loads";
    }
}

TEST(SettingsLoad, VersionIsReadWhateverItsTypeButNeedsEightBytes)
{
    FakeRegistry registry = SavedRegistry();
    registry.values["LastVersion"].type = 3;  // REG_BINARY
    Settings settings;
    Load(settings, registry);
    EXPECT_FALSE(settings.HasFlag(FLAG_AGREEMENT_PENDING));

    registry.values["LastVersion"] = {REGISTRY_TYPE_DWORD, {0xd7, 0xa3, 0x70, 0x3d}};
    Settings shortVersion;
    Load(shortVersion, registry);
    EXPECT_TRUE(shortVersion.HasFlag(FLAG_AGREEMENT_PENDING));
}

TEST(SettingsLoad, StoredArmedBitIsCleared)
{
    FakeRegistry registry = SavedRegistry();
    registry.values["Settings"] = Word(0x4CB);
    Settings settings;
    Load(settings, registry);
    EXPECT_EQ(settings.flags, 0x4CAu);
}

TEST(SettingsLoad, ValuesOfTheWrongTypeOrSizeFallBackAlone)
{
    FakeRegistry registry = SavedRegistry();
    registry.values["Settings"] = Text("1234", 4);                     // REG_SZ
    registry.values["Sensitivity"] = {REGISTRY_TYPE_DWORD, {7, 0}};    // two bytes
    registry.values["HotKey"] = {REGISTRY_TYPE_DWORD, std::vector<uint8_t>(8, 1)};
    registry.values["PW"] = WideText(u"0123456789AB", 24);             // past its buffer
    registry.values["ServerPass"] = Word(0x41);                        // REG_DWORD
    Settings settings;
    Load(settings, registry);
    EXPECT_EQ(settings.flags, DEFAULT_FLAGS & ~FLAG_ARMED);
    EXPECT_EQ(settings.sensitivity, 50);
    EXPECT_EQ(settings.hotKeyModifiers, 3u);
    EXPECT_EQ(settings.hotKeyCode, 0x67u);
    EXPECT_EQ(settings.GetPassword(), u"");
    EXPECT_EQ(settings.GetServerPass(), "");
    EXPECT_EQ(settings.GetServerUser(), "owner@example.org");  // the rest still loads
    EXPECT_EQ(settings.lastCheckedYear, 2026);
}

TEST(SettingsLoad, UnterminatedTextsStopAtTheirBuffer)
{
    FakeRegistry registry = SavedRegistry();
    registry.values["PW"] = WideText(u"ABCDEFGHIJ", 20);  // ten units, no NUL
    registry.values["ServerUser"] = {REGISTRY_TYPE_SZ, std::vector<uint8_t>(100, 'x')};
    Settings settings;
    Load(settings, registry);
    EXPECT_EQ(settings.GetPassword(), u"ABCDEFGHI");
    EXPECT_EQ(settings.GetServerUser(), std::string(99, 'x'));
}

TEST(SettingsLoad, ServiceUrlIsTakenOnlyWhenWellFormed)
{
    struct Case {
        std::u16string stored;
        std::string expected;
    };
    const Case cases[] = {
        {u"http://127.0.0.1:8765", "http://127.0.0.1:8765"},
        {u"https://alarm.example.org", "https://alarm.example.org"},
        {u"http://127.0.0.1:8765/", KESTROVA_SERVICE_URL},
        {u"http://host/path", KESTROVA_SERVICE_URL},
        {u"ftp://host", KESTROVA_SERVICE_URL},
        {u"http://", KESTROVA_SERVICE_URL},
        {u"http://h\u00f6st", KESTROVA_SERVICE_URL},
    };
    for (const Case& c : cases) {
        FakeRegistry registry = SavedRegistry();
        registry.values["ServiceUrl"] = WideText(c.stored, (c.stored.size() + 1) * 2);
        Settings settings;
        Load(settings, registry);
        EXPECT_EQ(settings.serviceUrl, c.expected);
    }
}

// The push address and its kind come back as stored and are written back
// (or deleted when there is no address; an unknown kind reads as ntfy).
TEST(SettingsLoad, NotifyUrlAndKindRoundTrip)
{
    const struct {
        std::u16string stored;
        std::u16string kind;  // empty: absent
        std::string loaded;
        std::u16string written;  // the kind; empty: none
    } rows[] = {
        {u"https://ntfy.sh/kim-laptop", u"", "https://ntfy.sh/kim-laptop", u"ntfy"},
        {u"https://ntfy.sh/kim", u"dingtalk", "https://ntfy.sh/kim", u"dingtalk"},
        {u"https://ntfy.sh/kim", u"telegram", "https://ntfy.sh/kim", u"ntfy"},
        {u"https://ntfy.sh/t\u00f6pic", u"feishu", "", u""},
        {std::u16string(301, u'a'), u"", "", u""},
    };
    for (const auto& row : rows) {
        FakeRegistry registry = SavedRegistry();
        const RegistryValue stored = WideText(row.stored, (row.stored.size() + 1) * 2);
        registry.values["NotifyUrl"] = stored;
        if (!row.kind.empty())
            registry.values["NotifyKind"] = WideText(row.kind, (row.kind.size() + 1) * 2);
        Settings settings;
        const std::unique_ptr<RegistryKey> key = Load(settings, registry);
        EXPECT_EQ(settings.notifyUrl, row.loaded);
        WriteSettings(settings, *key);
        EXPECT_EQ(registry.values.count("NotifyUrl"), row.loaded.empty() ? 0u : 1u);
        EXPECT_EQ(registry.values.count("NotifyKind"), row.written.empty() ? 0u : 1u);
        if (!row.loaded.empty()) {
            EXPECT_EQ(registry.values["NotifyUrl"].bytes, stored.bytes);
            EXPECT_EQ(registry.values["NotifyKind"].bytes, WideText(row.written, (row.written.size() + 1) * 2).bytes);
        }
    }
}

TEST(SettingsSave, WritesEveryValueByteForByte)
{
    FakeRegistry registry = SavedRegistry();
    Settings settings;
    const std::unique_ptr<RegistryKey> key = Load(settings, registry);
    registry.values.clear();
    WriteSettings(settings, *key);

    EXPECT_EQ(registry.values["Settings"].bytes, Word(0x4CA).bytes);
    EXPECT_EQ(registry.values["Sensitivity"].bytes, Word(120).bytes);
    EXPECT_EQ(registry.values["HotKey"].bytes, Word(0x0367).bytes);
    EXPECT_EQ(registry.values["StartWithWindows"].bytes, Word(1).bytes);
    EXPECT_EQ(registry.values["LastChecked"].bytes, Word(0x07EA0C08).bytes);
    EXPECT_EQ(registry.values["TakePhotos"].bytes, Word(1).bytes);
    for (const char* name : {"Settings", "Sensitivity", "HotKey", "StartWithWindows", "LastChecked", "LastVersion",
                             "TakePhotos"})
        EXPECT_EQ(registry.values[name].type, REGISTRY_TYPE_DWORD) << name;
    EXPECT_EQ(registry.values["LastVersion"].bytes, VERSION_1_99);
    EXPECT_EQ(registry.values["PW"].type, REGISTRY_TYPE_SZ);
    EXPECT_EQ(registry.values["PW"].bytes, WideText(u"s3cret", 20).bytes);
    EXPECT_EQ(registry.values["ServerUser"].type, REGISTRY_TYPE_SZ);
    EXPECT_EQ(registry.values["ServerUser"].bytes, Text("owner@example.org", 100).bytes);
    EXPECT_EQ(registry.values["ServerPass"].bytes, Text("pa ss", 100).bytes);
    EXPECT_EQ(registry.values.count("ServiceUrl"), 0u) << "the address is never written";
    EXPECT_EQ(registry.values.size(), 10u);

    // A key that refuses the writes: the owner's log names what was not saved.
    registry.writeError = 5;
    TakeLoggedTexts();
    WriteSettings(settings, *key);
    EXPECT_EQ(TakeLoggedTexts(),
              std::vector<std::string>{"The settings could not be saved (error 5): Settings, Sensitivity, LastChecked, "
                                       "HotKey, StartWithWindows, PW, ServerUser, ServerPass, LastVersion, TakePhotos"});
}

TEST(SettingsSave, NegativeSensitivityAndFarDatesRoundTrip)
{
    FakeRegistry registry = SavedRegistry();
    Settings settings;
    const std::unique_ptr<RegistryKey> key = Load(settings, registry);
    settings.sensitivity = -7;
    settings.lastCheckedDay = 31;
    settings.lastCheckedMonth = 1;
    settings.lastCheckedYear = -1;
    WriteSettings(settings, *key);
    EXPECT_EQ(registry.values["Sensitivity"].bytes, Word(0xFFFFFFF9).bytes);
    EXPECT_EQ(registry.values["LastChecked"].bytes, Word(0xFFFF011F).bytes);

    Settings again;
    Load(again, registry);
    EXPECT_EQ(again.sensitivity, -7);
    EXPECT_EQ(again.lastCheckedYear, -1);
}

TEST(SettingsRecord, TextsAreCutToTheirFields)
{
    Settings settings;
    settings.SetPassword(u"0123456789AB");
    EXPECT_EQ(settings.GetPassword(), u"012345678");
    settings.SetServerUser(std::string(150, 'a'));
    EXPECT_EQ(settings.GetServerUser().size(), 99u);
}

}  // namespace
