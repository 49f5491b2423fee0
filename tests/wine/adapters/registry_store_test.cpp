// The registry adapter against the real registry (Wine's, in a prefix made
// for the test run), under a key of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <cstring>

#include "win32/scoped_win32.h"
#include "settings/registry_store_win32.h"
#include "settings/settings_codec.h"

namespace {

const wchar_t TEST_KEY[] = L"Software\\Kestrova Tests\\RegistryStore";

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, TEST_KEY); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, TEST_KEY); }

    static OpenedKey Open() { return OpenRegistryKey(HKEY_CURRENT_USER, TEST_KEY); }
};

RegistryValue Bytes(uint32_t type, std::vector<uint8_t> bytes)
{
    return {type, std::move(bytes)};
}

TEST_F(RegistryStoreTest, CreatesTheKeyOnceAndSaysSo)
{
    OpenedKey first = Open();
    ASSERT_NE(first.key, nullptr);
    EXPECT_TRUE(first.created);
    OpenedKey second = Open();
    ASSERT_NE(second.key, nullptr);
    EXPECT_FALSE(second.created);
}

TEST_F(RegistryStoreTest, ValuesComeBackWithTheirTypeAndBytes)
{
    OpenedKey opened = Open();
    RegistryKey& key = *opened.key;
    key.Write("Settings", Bytes(REG_DWORD, {0xCA, 0x04, 0, 0}), TextWidth::Wide);
    // An 8-byte value carrying the 4-byte type, as "LastVersion" is stored.
    key.Write("LastVersion", Bytes(REG_DWORD, {0xd7, 0xa3, 0x70, 0x3d, 0x0a, 0xd7, 0xff, 0x3f}), TextWidth::Wide);

    std::optional<RegistryValue> settings = key.Read("Settings", 4, TextWidth::Wide);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->type, uint32_t(REG_DWORD));
    EXPECT_EQ(settings->bytes, (std::vector<uint8_t>{0xCA, 0x04, 0, 0}));

    std::optional<RegistryValue> version = key.Read("LastVersion", 8, TextWidth::Wide);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->type, uint32_t(REG_DWORD));
    EXPECT_EQ(version->bytes.size(), 8u);
    EXPECT_EQ(version->bytes[7], 0x3f);
}

TEST_F(RegistryStoreTest, MissingOrLargerThanTheBufferReadsAsNothing)
{
    OpenedKey opened = Open();
    RegistryKey& key = *opened.key;
    EXPECT_FALSE(key.Read("Sensitivity", 4, TextWidth::Wide));
    // Terminated, as the program writes its strings: Wine 10 reads an
    // unterminated one back only with room for a terminator.
    std::vector<uint8_t> password(22, 'a');
    password.insert(password.end(), {0, 0});
    key.Write("PW", Bytes(REG_SZ, password), TextWidth::Wide);
    EXPECT_FALSE(key.Read("PW", 20, TextWidth::Wide));
    EXPECT_TRUE(key.Read("PW", 24, TextWidth::Wide));
}

TEST_F(RegistryStoreTest, ADeletedValueIsGoneAndDeletingAMissingOneSucceeds)
{
    OpenedKey opened = Open();
    opened.key->Write("GiveBack", RegistryValue{3, {1, 2, 3}}, TextWidth::Wide);
    opened.key->Write("Settings", RegistryValue{REGISTRY_TYPE_DWORD, {1, 0, 0, 0}}, TextWidth::Wide);
    EXPECT_TRUE(opened.key->Delete("GiveBack"));
    EXPECT_FALSE(opened.key->Read("GiveBack", 16, TextWidth::Wide));
    EXPECT_TRUE(opened.key->Read("Settings", 4, TextWidth::Wide));
    EXPECT_TRUE(opened.key->Delete("GiveBack"));
}

TEST_F(RegistryStoreTest, NarrowTextRoundTripsThroughTheACalls)
{
    OpenedKey opened = Open();
    RegistryKey& key = *opened.key;
    std::vector<uint8_t> field(100, 0);
    std::memcpy(field.data(), "kim@example.org", 15);
    key.Write("ServerUser", Bytes(REG_SZ, field), TextWidth::Narrow);

    std::optional<RegistryValue> narrow = key.Read("ServerUser", 100, TextWidth::Narrow);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->type, uint32_t(REG_SZ));
    EXPECT_EQ(narrow->bytes, field);
    // The registry keeps it as UTF-16, twice the bytes.
    std::optional<RegistryValue> wide = key.Read("ServerUser", 200, TextWidth::Wide);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->bytes.size(), 200u);
    EXPECT_EQ(wide->bytes[0], 'k');
    EXPECT_EQ(wide->bytes[1], 0);
}

TEST_F(RegistryStoreTest, SettingsSurviveASaveAndALoad)
{
    {
        Settings settings;
        const std::unique_ptr<RegistryKey> key = LoadSettings(settings, Open());
        EXPECT_TRUE(settings.HasFlag(FLAG_AGREEMENT_PENDING));
        settings.SetFlag(FLAG_AGREEMENT_PENDING, false);
        settings.sensitivity = 99;
        settings.SetPassword(u"geheim");
        settings.SetServerUser("kim");
        WriteSettings(settings, *key);
    }
    Settings again;
    LoadSettings(again, Open());
    EXPECT_FALSE(again.HasFlag(FLAG_AGREEMENT_PENDING));
    EXPECT_EQ(again.sensitivity, 99);
    EXPECT_EQ(again.GetPassword(), u"geheim");
    EXPECT_EQ(again.GetServerUser(), "kim");
}

// Leaves only reading (or everything) to everyone; the owner may still
// change the list.
void SetKeyAccess(const wchar_t* sddl)
{
    ScopedKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEST_KEY, 0, READ_CONTROL | WRITE_DAC, key.Receive()), ERROR_SUCCESS);
    ScopedLocal<void> descriptor;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.Receive(), nullptr));
    EXPECT_EQ(RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.Get()), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, AReadOnlyKeyStillLoadsAndTheSaveChangesNothing)
{
    {
        Settings stored;
        const std::unique_ptr<RegistryKey> key = LoadSettings(stored, Open());
        stored.sensitivity = 77;
        stored.SetPassword(u"geheim");
        stored.SetFlag(FLAG_AGREEMENT_PENDING, false);
        WriteSettings(stored, *key);
    }
    SetKeyAccess(L"D:P(A;;KR;;;WD)");

    Settings loaded;
    const std::unique_ptr<RegistryKey> key = LoadSettings(loaded, Open());
    EXPECT_EQ(loaded.sensitivity, 77);
    EXPECT_EQ(loaded.GetPassword(), u"geheim");
    EXPECT_FALSE(loaded.HasFlag(FLAG_AGREEMENT_PENDING));
    loaded.sensitivity = 5;
    loaded.SetPassword(u"");
    WriteSettings(loaded, *key);  // refused value by value, and no crash

    Settings again;
    LoadSettings(again, Open());
    EXPECT_EQ(again.sensitivity, 77);
    EXPECT_EQ(again.GetPassword(), u"geheim");
    SetKeyAccess(L"D:P(A;;KA;;;WD)");  // so the test can delete it
}

TEST_F(RegistryStoreTest, AKeyThatMayBeWrittenButNotSecuredStillSaves)
{
    ASSERT_NE(Open().key, nullptr);
    // Values may be read and set; the key's security, owner and deletion
    // are out of reach, as under a locked-down policy.
    SetKeyAccess(L"D:P(A;;KRKW;;;WD)");
    {
        Settings stored;
        const std::unique_ptr<RegistryKey> key = LoadSettings(stored, Open());
        stored.sensitivity = 61;
        stored.SetPassword(u"neu");
        WriteSettings(stored, *key);
    }
    Settings again;
    LoadSettings(again, Open());
    EXPECT_EQ(again.sensitivity, 61);
    EXPECT_EQ(again.GetPassword(), u"neu");
    SetKeyAccess(L"D:P(A;;KA;;;WD)");
}

TEST(RegistryStoreFailure, AKeyThatCannotBeOpenedGivesNoKey)
{
    // A path no key can have: names may not be longer than 255 characters.
    const std::wstring path = L"Software\\" + std::wstring(300, L'x');
    EXPECT_EQ(OpenRegistryKey(HKEY_CURRENT_USER, path).key, nullptr);
    Settings settings;
    EXPECT_EQ(LoadSettings(settings, OpenRegistryKey(HKEY_CURRENT_USER, path)), nullptr);  // nothing to write to
    EXPECT_EQ(settings.sensitivity, 50);
}

}  // namespace
