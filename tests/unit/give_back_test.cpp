// The give-back record and its keeper: what arming changes is saved before it
// is changed, given back at unlock or at the next start after a crash, and a
// bad record is deleted without anything half given back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "test_log.h"
#include "fake_give_back.h"
#include "fake_registry.h"
#include "settings/settings.h"
#include "settings/settings_codec.h"

namespace {

using Slot = FakePowerStore::Slot;
const std::array<bool, SHORTCUT_COUNT> ALL_ON = {true, true, true};

GiveBackRecord FullRecord()
{
    GiveBackRecord record;
    record.power.scheme = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
    record.power.actions[POWER_LID_CLOSE][POWER_ON_AC] = {1, true};
    record.power.actions[POWER_BUTTON][POWER_ON_DC] = {3, true};
    record.shortcuts = {true, false, true};
    record.volume.mixer[MIXER_MASTER_VOLUME] = {0x8000, true};
    record.volume.endpoints.push_back({u"{0.0.0.00000000}.{speakers}", 0.25f, true, true, true});
    record.volume.endpoints.push_back({u"{0.0.0.00000000}.{hdmi}", 0, false, false, true});
    return record;
}

TEST(GiveBackRecord, WhatIsWrittenDecodesToTheSame)
{
    for (const GiveBackRecord& record : {GiveBackRecord(), FullRecord()}) {
        std::optional<GiveBackRecord> decoded = DecodeGiveBackRecord(EncodeGiveBackRecord(record));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->power.scheme, record.power.scheme);
        EXPECT_EQ(decoded->power.actions, record.power.actions);
        EXPECT_EQ(decoded->shortcuts, record.shortcuts);
        EXPECT_EQ(decoded->volume.mixer, record.volume.mixer);
        EXPECT_EQ(decoded->volume.endpoints, record.volume.endpoints);
    }
}

TEST(GiveBackRecord, AVersionOneRecordLeftBeforeAnUpdateIsStillGivenBack)
{
    // Version 1 held three power settings: the fourth's two 5-byte words go.
    std::vector<uint8_t> bytes = EncodeGiveBackRecord(FullRecord());
    bytes[4] = 1;
    bytes.erase(bytes.begin() + 52, bytes.begin() + 62);
    std::optional<GiveBackRecord> decoded = DecodeGiveBackRecord(bytes);
    EXPECT_TRUE(decoded && decoded->power.actions == FullRecord().power.actions);
}

TEST(GiveBackRecord, EndpointsThatCannotBeWrittenWhollyAreLeftOut)
{
    GiveBackRecord record;
    for (const std::u16string& id : {std::u16string(), std::u16string(GIVE_BACK_MAX_ID_UNITS + 1, u'x'),
                                     std::u16string(u"a\0b", 3)})
        record.volume.endpoints.push_back({id, 0.5f, true, false, false});
    record.volume.endpoints.push_back({u"nan", std::nanf(""), true, false, false});
    record.volume.endpoints.resize(14, {u"ok", 1.0f, true, false, false});
    std::optional<GiveBackRecord> decoded = DecodeGiveBackRecord(EncodeGiveBackRecord(record));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->volume.endpoints.size(), GIVE_BACK_MAX_ENDPOINTS);
    EXPECT_EQ(decoded->volume.endpoints[0].id, u"ok");
}

TEST(GiveBackRecord, ShortenedLongerOrAlteredRecordsAreRefused)
{
    const std::vector<uint8_t> whole = EncodeGiveBackRecord(FullRecord());
    for (size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(DecodeGiveBackRecord(std::vector<uint8_t>(whole.begin(), whole.begin() + size))) << size;
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    EXPECT_FALSE(DecodeGiveBackRecord(longer));

    const size_t firstFlag = 4 + 2 + 16;  // after magic, version, scheme
    const size_t endpointCount = firstFlag + 40 + 3 + 20;
    const size_t firstVolumeTop = endpointCount + 1 + 2 + 2 * 27 + 1 + 3;  // 0.25f: 00 00 80 3E
    const std::pair<size_t, uint8_t> alterations[] = {
        {0, 'X'},                   // magic
        {4, 3},                     // the next version
        {firstFlag, 2},             // a flag byte other than 0 or 1
        {firstFlag + 5 + 1, 7},     // a value behind an unsaved flag
        {endpointCount, 9},         // more endpoints than are ever written
        {endpointCount + 1, 0},     // an id of no units
        {firstVolumeTop, 0x40},     // a volume of 4
    };
    for (const auto& [at, byte] : alterations) {
        std::vector<uint8_t> bytes = whole;
        bytes[at] = byte;
        EXPECT_FALSE(DecodeGiveBackRecord(bytes)) << at;
    }
}

class GiveBack : public testing::Test {
protected:
    FakeRegistry registry;
    OpenedKey key = OpenFakeKey(registry);
    FakePowerStore power;
    const std::map<Slot, uint32_t> owner = power.values;

    std::optional<GiveBackRecord> Stored()
    {
        auto found = registry.values.find(GIVE_BACK_VALUE_NAME);
        if (found == registry.values.end())
            return std::nullopt;
        return DecodeGiveBackRecord(found->second.bytes);
    }

    // Had the process died now, what the next start gives back from the
    // record the disk holds: the power settings and the shortcuts it hands on.
    std::pair<std::map<Slot, uint32_t>, ShortcutsCleared> AfterACrashNow()
    {
        FakeRegistry disk;
        disk.values = registry.flushed;
        FakePowerStore machine = power;
        machine.beforeWrite = [] {};
        ShortcutsCleared shortcuts = {};
        GiveBackLeftOver(*OpenFakeKey(disk).key, machine,
                         [&](const GiveBackRecord& record) { shortcuts = record.shortcuts; });
        return {machine.values, shortcuts};
    }
};

TEST_F(GiveBack, ArmingSavesFirstRefusesSleepAndUnlockGivesEverythingBack)
{
    power.beforeWrite = [this] {  // a death at any of arming's power writes costs the owner nothing
        EXPECT_EQ(AfterACrashNow(), std::make_pair(owner, ALL_ON));
    };
    GiveBackKeeper keeper(key.key.get(), power);
    EXPECT_TRUE(keeper.Arm(ALL_ON));  // only now may the shortcuts go off
    for (const auto& [slot, value] : power.inEffect)
        EXPECT_EQ(value, POWER_ACTION_DO_NOTHING);
    EXPECT_EQ(keeper.ClearedShortcuts(), ALL_ON);

    power.beforeWrite = [] {};
    keeper.Unlock();
    EXPECT_EQ(power.inEffect, owner);
    EXPECT_EQ(keeper.ClearedShortcuts(), ShortcutsCleared{});
    EXPECT_FALSE(Stored());
}

TEST_F(GiveBack, ACrashWhileArmedIsGivenBackOnceAtTheNextStart)
{
    VolumeRecord sound;
    sound.mixer[MIXER_MASTER_MUTE] = {1, true};
    sound.endpoints.push_back({u"{speakers}", 0.3f, true, true, true});
    {
        GiveBackKeeper keeper(key.key.get(), power);
        keeper.Arm(ALL_ON);
        keeper.VolumeSaved(sound);
    }  // killed: no unlock

    TakeLoggedTexts();
    std::optional<GiveBackRecord> left;
    EXPECT_TRUE(GiveBackLeftOver(*key.key, power, [&](const GiveBackRecord& record) {
        EXPECT_TRUE(Stored());  // the record kept until the rest is back too
        left = record;
    }));
    EXPECT_EQ(power.inEffect, owner);
    EXPECT_EQ(TakeLoggedTexts().size(), 1u);
    // What the caller gives back: the shortcuts and the sound.
    ASSERT_TRUE(left);
    EXPECT_EQ(left->shortcuts, ALL_ON);
    EXPECT_EQ(left->volume.mixer, sound.mixer);
    EXPECT_EQ(left->volume.endpoints, sound.endpoints);
    EXPECT_FALSE(Stored());
    EXPECT_FALSE(GiveBackLeftOver(*key.key, power, [](const GiveBackRecord&) { ADD_FAILURE(); }));
    EXPECT_TRUE(TakeLoggedTexts().empty());
}

TEST_F(GiveBack, PinnedUnreadableOrMissingPowerValuesStillArm)
{
    struct Case {
        const char* name;
        std::function<void(FakePowerStore&)> set;
        size_t doNothing;  // of the eight settings held
    } const cases[] = {
        {"lid pinned on battery", [](FakePowerStore& p) { p.pinned.insert({POWER_LID_CLOSE, POWER_ON_DC}); }, 7},
        {"sleep states pinned on mains", [](FakePowerStore& p) { p.pinned.insert({POWER_ALLOW_STANDBY, POWER_ON_AC}); },
         7},
        {"every write refused", [](FakePowerStore& p) { for (const auto& v : p.values) p.pinned.insert(v.first); }, 0},
        {"power button unreadable", [](FakePowerStore& p) { p.unreadable.insert({POWER_BUTTON, POWER_ON_AC}); }, 7},
        {"no active scheme", [](FakePowerStore& p) { p.hasActive = false; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePowerStore store;
        c.set(store);
        GiveBackKeeper keeper(key.key.get(), store);
        EXPECT_TRUE(keeper.Arm(ALL_ON));  // the rest of arming goes on
        size_t doNothing = 0;
        for (const auto& [slot, value] : store.inEffect)
            doNothing += value == POWER_ACTION_DO_NOTHING;
        EXPECT_EQ(doNothing, c.doNothing);
        keeper.Unlock();
        EXPECT_EQ(store.inEffect, owner);
    }
}

TEST_F(GiveBack, WithoutAWrittenRecordArmingChangesNothing)
{
    for (const bool noKey : {false, true}) {
        registry.writeError = noKey ? 0 : 5;  // a read-only key, or none at all
        GiveBackKeeper keeper(noKey ? nullptr : key.key.get(), power);
        EXPECT_FALSE(keeper.Arm(ALL_ON)) << noKey;  // so the shortcuts stay on
        EXPECT_EQ(keeper.ClearedShortcuts(), ShortcutsCleared{}) << noKey;
        keeper.Unlock();
        EXPECT_TRUE(power.values == owner && power.inEffect == owner && !Stored()) << noKey;
    }
}

TEST_F(GiveBack, ABadRecordIsDeletedAndNothingGivenBack)
{
    const std::vector<uint8_t> good = EncodeGiveBackRecord(FullRecord());
    const RegistryValue cases[] = {
        {REGISTRY_TYPE_BINARY, std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {REGISTRY_TYPE_DWORD, good},
        {REGISTRY_TYPE_BINARY, std::vector<uint8_t>(GIVE_BACK_RECORD_MAX_BYTES + 1)},
    };
    registry.values["Settings"] = {REGISTRY_TYPE_DWORD, {0x12, 0, 0, 0}};
    power.values.clear();
    for (const RegistryValue& bad : cases) {
        registry.values[GIVE_BACK_VALUE_NAME] = bad;
        EXPECT_FALSE(GiveBackLeftOver(*key.key, power, [](const GiveBackRecord&) { ADD_FAILURE(); }));
        EXPECT_TRUE(power.values.empty());
        EXPECT_EQ(registry.values.count(GIVE_BACK_VALUE_NAME), 0u);
        EXPECT_EQ(registry.values.count("Settings"), 1u);
    }
}

TEST_F(GiveBack, TheSettingsLoadAndSaveLeaveTheRecordAlone)
{
    registry.values["Settings"] = {REGISTRY_TYPE_DWORD, {0x12, 0, 0, 0}};
    Settings without;
    LoadSettings(without, OpenFakeKey(registry));
    const RegistryValue record{REGISTRY_TYPE_BINARY, EncodeGiveBackRecord(FullRecord())};
    registry.values[GIVE_BACK_VALUE_NAME] = record;
    Settings with;
    const std::unique_ptr<RegistryKey> key = LoadSettings(with, OpenFakeKey(registry));
    EXPECT_EQ(with.flags, without.flags);
    EXPECT_EQ(with.sensitivity, without.sensitivity);
    WriteSettings(with, *key);
    EXPECT_EQ(registry.values[GIVE_BACK_VALUE_NAME].bytes, record.bytes);
}

}  // namespace
