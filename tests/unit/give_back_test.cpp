// The give-back record and its keeper: what arming changes is saved before it
// is changed, given back at unlock or at the next start after a crash, and a
// bad record is deleted without anything half given back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "fake_give_back.h"
#include "fake_registry.h"
#include "settings/settings.h"
#include "settings/settings_codec.h"

namespace {

using Slot = FakePowerStore::Slot;

GiveBackRecord FullRecord()
{
    GiveBackRecord record;
    record.power.scheme = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
    record.power.actions[POWER_LID_CLOSE][POWER_ON_AC] = {1, true};
    record.power.actions[POWER_BUTTON][POWER_ON_DC] = {3, true};
    record.shortcuts = {true, false, true};
    record.volume.mixer[MIXER_MASTER_VOLUME] = {0x8000, true};
    record.volume.mixer[MIXER_MASTER_MUTE] = {1, true};
    record.volume.endpoints.push_back({u"{0.0.0.00000000}.{speakers}", 0.25f, true, true, true});
    record.volume.endpoints.push_back({u"{0.0.0.00000000}.{hdmi}", 0, false, false, true});
    return record;
}

std::map<Slot, uint32_t> OwnerActions()
{
    return FakePowerStore().values;
}

RegistryKey& Key(OpenedKey& opened)
{
    return *opened.key;
}

TEST(GiveBackRecord, WhatIsWrittenDecodesToTheSame)
{
    const GiveBackRecord records[] = {GiveBackRecord(), FullRecord()};
    for (const GiveBackRecord& record : records) {
        std::optional<GiveBackRecord> decoded = DecodeGiveBackRecord(EncodeGiveBackRecord(record));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->power.scheme, record.power.scheme);
        EXPECT_EQ(decoded->power.actions, record.power.actions);
        EXPECT_EQ(decoded->shortcuts, record.shortcuts);
        EXPECT_EQ(decoded->volume.mixer, record.volume.mixer);
        EXPECT_EQ(decoded->volume.endpoints, record.volume.endpoints);
    }
}

TEST(GiveBackRecord, EndpointsThatCannotBeWrittenWhollyAreLeftOut)
{
    GiveBackRecord record;
    record.volume.endpoints.push_back({u"", 0.5f, true, false, false});
    record.volume.endpoints.push_back({std::u16string(GIVE_BACK_MAX_ID_UNITS + 1, u'x'), 0.5f, true, false, false});
    record.volume.endpoints.push_back({std::u16string(u"a\0b", 3), 0.5f, true, false, false});
    record.volume.endpoints.push_back({u"nan", std::nanf(""), true, false, false});
    for (int i = 0; i < 10; ++i)
        record.volume.endpoints.push_back({u"ok", 1.0f, true, false, false});
    std::optional<GiveBackRecord> decoded = DecodeGiveBackRecord(EncodeGiveBackRecord(record));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->volume.endpoints.size(), GIVE_BACK_MAX_ENDPOINTS);
    EXPECT_EQ(decoded->volume.endpoints[0].id, u"ok");
}

TEST(GiveBackRecord, EveryShortenedRecordIsRefused)
{
    const std::vector<uint8_t> whole = EncodeGiveBackRecord(FullRecord());
    for (size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(DecodeGiveBackRecord(std::vector<uint8_t>(whole.begin(), whole.begin() + size))) << size;
}

TEST(GiveBackRecord, BytesNoWriterMakesAreRefused)
{
    const std::vector<uint8_t> whole = EncodeGiveBackRecord(FullRecord());
    const size_t firstFlag = 4 + 2 + 16;        // after magic, version, scheme
    const size_t shortcutFlags = firstFlag + 30;  // after six saved words
    const size_t endpointCount = shortcutFlags + 3 + 20;
    const size_t firstVolume = endpointCount + 1 + 2 + 2 * 27 + 1;  // the first endpoint's volume bits
    struct Case {
        const char* name;
        size_t at;
        uint8_t byte;
    } const cases[] = {
        {"magic", 0, 'X'},
        {"version 2", 4, 2},
        {"version 0", 4, 0},
        {"flag 2", firstFlag, 2},
        {"value of an unsaved word", firstFlag + 5 + 1, 7},
        {"shortcut flag 0xFF", shortcutFlags, 0xFF},
        {"nine endpoints", endpointCount, 9},
        {"id of no units", endpointCount + 1, 0},
        {"volume above 1", firstVolume + 3, 0x40},
        {"volume NaN", firstVolume + 3, 0x7F},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = whole;
        bytes[c.at] = c.byte;
        if (std::string(c.name) == "volume NaN")
            bytes[firstVolume + 2] = 0xC0;
        EXPECT_FALSE(DecodeGiveBackRecord(bytes)) << c.name;
    }
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    EXPECT_FALSE(DecodeGiveBackRecord(longer));
}

class GiveBack : public testing::Test {
protected:
    FakeRegistry registry;
    FakeRegistryStore store{registry};
    FakePowerStore power;
    FakeAccessibility accessibility;
    FakeVolumeGiveBack volume;
};

TEST_F(GiveBack, ArmingRefusesSleepAndUnlockGivesEverythingBack)
{
    OpenedKey key = store.OpenOrCreate();
    GiveBackKeeper keeper(key.key.get(), power, accessibility);
    keeper.Arm();
    for (const auto& [slot, value] : power.values)
        EXPECT_EQ(value, POWER_ACTION_DO_NOTHING);
    EXPECT_EQ(power.applied, 1);
    EXPECT_EQ(accessibility.active, (std::array<bool, SHORTCUT_COUNT>{false, false, false}));
    EXPECT_EQ(registry.values.count(GIVE_BACK_VALUE_NAME), 1u);

    keeper.Unlock();
    EXPECT_EQ(power.values, OwnerActions());
    EXPECT_EQ(power.applied, 2);
    EXPECT_EQ(accessibility.active, (std::array<bool, SHORTCUT_COUNT>{true, true, true}));
    EXPECT_EQ(registry.values.count(GIVE_BACK_VALUE_NAME), 0u);
}

TEST_F(GiveBack, TheRecordHoldsTheOwnersValuesBeforeAnythingChanges)
{
    // A write that checks the registry first: the record must be there.
    OpenedKey key = store.OpenOrCreate();
    GiveBackKeeper keeper(key.key.get(), power, accessibility);
    keeper.Arm();
    std::optional<GiveBackRecord> stored = DecodeGiveBackRecord(registry.values[GIVE_BACK_VALUE_NAME].bytes);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->power.actions[POWER_SLEEP_BUTTON][POWER_ON_DC], (SavedWord{3, true}));
    EXPECT_EQ(stored->shortcuts, (ShortcutsCleared{true, true, true}));

    VolumeRecord sound;
    sound.mixer[MIXER_WAVE_OUT_VOLUME] = {0x1234, true};
    sound.endpoints.push_back({u"{speakers}", 0.3f, true, false, false});
    keeper.VolumeSaved(sound);
    stored = DecodeGiveBackRecord(registry.values[GIVE_BACK_VALUE_NAME].bytes);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->volume.mixer, sound.mixer);
    EXPECT_EQ(stored->volume.endpoints, sound.endpoints);
    EXPECT_EQ(stored->power.actions, keeper.Record().power.actions);
}

TEST_F(GiveBack, ACrashWhileArmedIsGivenBackAtTheNextStart)
{
    {
        OpenedKey key = store.OpenOrCreate();
        GiveBackKeeper keeper(key.key.get(), power, accessibility);
        keeper.Arm();
        VolumeRecord sound;
        sound.mixer[MIXER_MASTER_MUTE] = {1, true};
        sound.endpoints.push_back({u"{speakers}", 0.3f, true, true, true});
        keeper.VolumeSaved(sound);
    }  // killed: no unlock

    OpenedKey key = store.OpenOrCreate();
    EXPECT_TRUE(GiveBackLeftOver(Key(key), power, accessibility, volume));
    EXPECT_EQ(power.values, OwnerActions());
    EXPECT_EQ(accessibility.active, (std::array<bool, SHORTCUT_COUNT>{true, true, true}));
    ASSERT_EQ(volume.mixer.size(), 1u);
    EXPECT_EQ(volume.mixer[0][MIXER_MASTER_MUTE], (SavedWord{1, true}));
    ASSERT_EQ(volume.endpoints.size(), 1u);
    EXPECT_EQ(volume.endpoints[0].volume, 0.3f);
    EXPECT_EQ(registry.values.count(GIVE_BACK_VALUE_NAME), 0u);

    // Given back once: the start after that finds nothing.
    EXPECT_FALSE(GiveBackLeftOver(Key(key), power, accessibility, volume));
    EXPECT_EQ(volume.mixer.size(), 1u);
}

TEST_F(GiveBack, PinnedUnreadableOrMissingPowerValuesStillArm)
{
    struct Case {
        const char* name;
        std::function<void(FakePowerStore&)> set;
        size_t doNothing;  // of the six actions
    } const cases[] = {
        {"lid pinned on battery", [](FakePowerStore& p) { p.pinned.insert({POWER_LID_CLOSE, POWER_ON_DC}); }, 5},
        {"every write refused",
         [](FakePowerStore& p) {
             for (const auto& [slot, value] : p.values)
                 p.pinned.insert(slot);
         },
         0},
        {"power button unreadable", [](FakePowerStore& p) { p.unreadable.insert({POWER_BUTTON, POWER_ON_AC}); }, 5},
        {"no active scheme", [](FakePowerStore& p) { p.hasActive = false; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePowerStore store;
        c.set(store);
        const std::map<Slot, uint32_t> owner = store.values;
        FakeAccessibility shortcuts;
        OpenedKey key = this->store.OpenOrCreate();
        GiveBackKeeper keeper(key.key.get(), store, shortcuts);
        keeper.Arm();
        size_t doNothing = 0;
        for (const auto& [slot, value] : store.values)
            doNothing += value == POWER_ACTION_DO_NOTHING;
        EXPECT_EQ(doNothing, c.doNothing);
        EXPECT_EQ(store.applied, c.doNothing ? 1 : 0);
        EXPECT_FALSE(shortcuts.active[SHORTCUT_STICKY_KEYS]);  // the rest of arming went on
        keeper.Unlock();
        EXPECT_EQ(store.values, owner);
    }
}

TEST_F(GiveBack, ABadRecordIsDeletedAndNothingGivenBack)
{
    const std::vector<uint8_t> good = EncodeGiveBackRecord(FullRecord());
    std::vector<uint8_t> nextVersion = good;
    nextVersion[4] = 2;
    struct Case {
        const char* name;
        RegistryValue value;
    } const cases[] = {
        {"truncated", {REGISTRY_TYPE_BINARY, std::vector<uint8_t>(good.begin(), good.end() - 1)}},
        {"wrong type", {REGISTRY_TYPE_DWORD, good}},
        {"unknown version", {REGISTRY_TYPE_BINARY, nextVersion}},
        {"too large to be ours", {REGISTRY_TYPE_BINARY, std::vector<uint8_t>(GIVE_BACK_RECORD_MAX_BYTES + 1)}},
        {"empty", {REGISTRY_TYPE_BINARY, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        registry.values[GIVE_BACK_VALUE_NAME] = c.value;
        registry.values["Settings"] = {REGISTRY_TYPE_DWORD, {0x12, 0, 0, 0}};
        FakePowerStore untouched;
        FakeAccessibility shortcuts;
        shortcuts.active = {false, false, false};
        OpenedKey key = store.OpenOrCreate();
        EXPECT_FALSE(GiveBackLeftOver(Key(key), untouched, shortcuts, volume));
        EXPECT_EQ(untouched.values, OwnerActions());
        EXPECT_EQ(shortcuts.writes, 0);
        EXPECT_TRUE(volume.mixer.empty() && volume.endpoints.empty());
        EXPECT_EQ(registry.values.count(GIVE_BACK_VALUE_NAME), 0u);
        EXPECT_EQ(registry.values.count("Settings"), 1u);
    }
}

TEST_F(GiveBack, TheSettingsLoadIgnoresTheRecord)
{
    registry.exists = true;
    registry.values["Settings"] = {REGISTRY_TYPE_DWORD, {0x12, 0, 0, 0}};
    Settings without;
    LoadSettings(without, store);
    registry.values[GIVE_BACK_VALUE_NAME] = {REGISTRY_TYPE_BINARY, EncodeGiveBackRecord(FullRecord())};
    Settings with;
    LoadSettings(with, store);
    EXPECT_EQ(with.flags.load(), without.flags.load());
    EXPECT_EQ(with.sensitivity.load(), without.sensitivity.load());
    EXPECT_EQ(with.GetPassword(), without.GetPassword());
    WriteSettings(with);
    EXPECT_EQ(registry.values[GIVE_BACK_VALUE_NAME].bytes, EncodeGiveBackRecord(FullRecord()));
}

}  // namespace
