// The VolumeGuard's line choice, save (handed to the give-back), force and restore, over an in-memory
// mixer and endpoint.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "fake_mixer.h"
#include "guard/volume_guard.h"

namespace {

using Writes = std::vector<std::pair<uint32_t, uint32_t>>;
using Values = std::map<uint32_t, uint32_t>;

// The controls whose value is no longer the one before.
Values Changed(const Values& before, const Values& now)
{
    Values changed;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::inserter(changed, changed.end()));
    return changed;
}

class VolumeGuardTest : public testing::Test {
protected:
    FakeMixerState mixer = UsualMixer();
    FakeEndpointState endpoint;

    // Its mixer open as at arming; the endpoint not reached yet.
    std::unique_ptr<VolumeGuard> Make(bool withEndpoint = false)
    {
        std::unique_ptr<AudioEndpoint> e;
        if (withEndpoint)
            e = std::make_unique<FakeEndpoint>(endpoint);
        mixer.open = true;
        return std::make_unique<VolumeGuard>(std::make_unique<FakeMixerDevice>(mixer), std::move(e));
    }
};

// The controls an alarm leaves changed, by the mixer's layout: after forcing,
// and after the unlock that follows.
TEST_F(VolumeGuardTest, ForceAndRestoreByLayout)
{
    const struct {
        const char* name;
        void (*layout)(FakeMixerState&);
        Values forced;
        Values restored;
    } cases[] = {
        {"the usual layout: master and wave-out full and unmuted, the CD line untouched", [](FakeMixerState&) {},
         Values{{MASTER_VOLUME, 0xFFFF}, {WAVE_VOLUME, 0xFFFF}, {WAVE_MUTE, 0}, {MASTER_MUTE, 0}}, Values{}},
        {"without wave-out the last source, the CD line passed over",
         [](FakeMixerState& m) {
             m.sources = {{10, COMPONENT_SRC_CD}, {12, COMPONENT_SRC_LINE}};
             m.values[21] = 1;
             m.AddControl(12, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, 30, 0x3000);
             m.AddControl(12, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, 31, 1);
         },
         Values{{MASTER_VOLUME, 0xFFFF}, {30, 0xFFFF}, {31, 0}, {MASTER_MUTE, 0}}, Values{}},
        {"without sources the speakers line itself", [](FakeMixerState& m) { m.sources.clear(); },
         Values{{MASTER_VOLUME, 0xFFFF}, {MASTER_MUTE, 0}}, Values{}},
        {"a failing read leaves that control, and the unread value is not given back as 0",
         [](FakeMixerState& m) { m.failingReads = {MASTER_VOLUME}; },
         Values{{WAVE_VOLUME, 0xFFFF}, {WAVE_MUTE, 0}, {MASTER_MUTE, 0}}, Values{}},
        {"a wave-out line that cannot be looked up is not written, nor the control chosen before it",
         [](FakeMixerState& m) { m.failingSources = {1}; }, Values{{MASTER_VOLUME, 0xFFFF}, {MASTER_MUTE, 0}}, Values{}},
        {"no destination: nothing chosen, nothing written", [](FakeMixerState& m) { m.failDestination = true; },
         Values{}, Values{}},
        {"a failing write leaves the steps after it", [](FakeMixerState& m) { m.failingWrites = {MASTER_VOLUME}; },
         Values{{WAVE_VOLUME, 0xFFFF}, {WAVE_MUTE, 0}, {MASTER_MUTE, 0}}, Values{}},
        {"a read that succeeds without the value reads 0", [](FakeMixerState& m) { m.readsLeaveValue = {WAVE_VOLUME}; },
         Values{{MASTER_VOLUME, 0xFFFF}, {WAVE_VOLUME, 0xFFFF}, {WAVE_MUTE, 0}, {MASTER_MUTE, 0}},
         Values{{WAVE_VOLUME, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mixer = UsualMixer();
        c.layout(mixer);
        const Values owner = mixer.values;
        auto guard = Make();
        guard->ForceFullVolume();
        EXPECT_EQ(Changed(owner, mixer.values), c.forced);
        guard->Restore();
        EXPECT_EQ(Changed(owner, mixer.values), c.restored);
        for (uint32_t handed : mixer.valuesHandedToReads)
            EXPECT_EQ(handed, 0u);
    }
}

// The values given back are the owner's from before the first forcing of
// the alarm: a thief's changes during it are not kept, an owner's between
// two alarms are.
TEST_F(VolumeGuardTest, RestoreGivesBackTheValuesFromBeforeTheAlarm)
{
    const struct {
        const char* name;
        bool unlockBetween;  // the changes come after an unlock, not during the alarm
        Values changes;
        Values restored;
    } cases[] = {
        {"a thief turns it down and mutes; the guard forces again", false,
         Values{{MASTER_VOLUME, 0x0100}, {WAVE_VOLUME, 0}, {MASTER_MUTE, 1}},
         Values{{MASTER_VOLUME, 0x4000}, {MASTER_MUTE, 1}, {WAVE_VOLUME, 0x8000}, {WAVE_MUTE, 1}}},
        {"the owner changes them between two alarms", true, Values{{MASTER_VOLUME, 0x2000}, {WAVE_MUTE, 0}},
         Values{{MASTER_VOLUME, 0x2000}, {MASTER_MUTE, 1}, {WAVE_VOLUME, 0x8000}, {WAVE_MUTE, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mixer = UsualMixer();
        auto guard = Make();
        guard->ForceFullVolume();
        if (c.unlockBetween)
            guard->Restore();
        for (const auto& [control, value] : c.changes)
            mixer.values[control] = value;
        EXPECT_TRUE(guard->IsBelowFull());
        guard->ForceFullVolume();
        EXPECT_EQ(mixer.values[MASTER_VOLUME], 0xFFFFu);
        EXPECT_EQ(mixer.values[MASTER_MUTE], 0u);
        guard->Restore();
        for (const auto& [control, value] : c.restored)
            EXPECT_EQ(mixer.values[control], value) << "control " << control;
    }
}

TEST_F(VolumeGuardTest, UnlockWithoutAlarmWritesNothing)
{
    auto guard = Make();
    guard->Restore();
    EXPECT_TRUE(mixer.writes.empty());
    guard->ForceFullVolume();
    guard->Restore();
    mixer.writes.clear();
    guard->Restore();  // the next unlock, no alarm in between
    EXPECT_TRUE(mixer.writes.empty());
}

TEST_F(VolumeGuardTest, MutedOrTurnedDownIsBelowFull)
{
    mixer = UsualMixer(0xFFFF, 0xFFFF, 0, 0);
    auto guard = Make();
    EXPECT_FALSE(guard->IsBelowFull());
    mixer.values[WAVE_MUTE] = 1;
    EXPECT_TRUE(guard->IsBelowFull());
    mixer.values[WAVE_MUTE] = 0;
    mixer.values[MASTER_MUTE] = 1;
    EXPECT_TRUE(guard->IsBelowFull());
    mixer.values[MASTER_MUTE] = 0;
    mixer.values[WAVE_VOLUME] = 0xFFFE;
    EXPECT_TRUE(guard->IsBelowFull());
    mixer.values[WAVE_VOLUME] = 0xFFFF;
    mixer.values[MASTER_VOLUME] = 0;
    EXPECT_TRUE(guard->IsBelowFull());
    EXPECT_TRUE(mixer.writes.empty());
}

TEST_F(VolumeGuardTest, OpenWithWindowOpensTheMixerForNotices)
{
    const struct {
        const char* name;
        uint32_t devices, openResult;
        bool opened;
    } cases[] = {{"opened", 1, 0, true}, {"no device: not even tried", 0, 0, false}, {"a failed open", 1, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mixer = UsualMixer();
        mixer.deviceCount = c.devices;
        mixer.openResult = c.openResult;
        VolumeGuard guard(std::make_unique<FakeMixerDevice>(mixer), nullptr);
        EXPECT_EQ(guard.OpenWithWindow(0x1234), c.opened);
        EXPECT_EQ(mixer.opens, int(c.devices));
        EXPECT_EQ(mixer.window, c.opened ? 0x1234u : 0u);
        guard.CloseMixer();
        EXPECT_FALSE(mixer.open);
    }
}

// The default endpoint, beside the mixer.

TEST_F(VolumeGuardTest, EndpointForcedAndGivenBack)
{
    auto guard = Make(true);
    guard->ForceFullVolume();
    EXPECT_EQ(endpoint.volume, 1.0f);
    EXPECT_FALSE(endpoint.muted);
    EXPECT_EQ(endpoint.attaches, 1);
    guard->Restore();
    EXPECT_EQ(endpoint.volume, 0.25f);
    EXPECT_TRUE(endpoint.muted);
    EXPECT_EQ(endpoint.detaches, 0);
    guard->CloseMixer();
    EXPECT_EQ(endpoint.detaches, 1);
}

TEST_F(VolumeGuardTest, EndpointReachedAtArmingNotAtTheAlarm)
{
    auto guard = Make(true);
    EXPECT_EQ(endpoint.attaches, 0);
    ASSERT_TRUE(guard->OpenWithWindow(0x1234));
    EXPECT_EQ(endpoint.attaches, 1);
    EXPECT_TRUE(endpoint.writes.empty());
    guard->ForceFullVolume();
    EXPECT_EQ(endpoint.attaches, 1);
    EXPECT_EQ(endpoint.volume, 1.0f);
    guard->Restore();
    guard->CloseMixer();
    EXPECT_EQ(endpoint.detaches, 1);
    // The next arming reaches the endpoint that is the default then.
    ASSERT_TRUE(guard->OpenWithWindow(0x1234));
    EXPECT_EQ(endpoint.attaches, 2);
}

TEST_F(VolumeGuardTest, EndpointReforcedKeepsTheOwnersValues)
{
    auto guard = Make(true);
    guard->ForceFullVolume();
    endpoint.volume = 0.0f;
    endpoint.muted = true;
    guard->ReforceEndpoint();
    EXPECT_EQ(endpoint.volume, 1.0f);
    EXPECT_FALSE(endpoint.muted);
    endpoint.volume = 0.5f;
    guard->ForceFullVolume();  // the mixer's notice forces again too
    EXPECT_EQ(endpoint.attaches, 1);
    guard->Restore();
    EXPECT_EQ(endpoint.volume, 0.25f);
    EXPECT_TRUE(endpoint.muted);
}

TEST_F(VolumeGuardTest, EndpointReforceWritesOnlyWhatChanged)
{
    auto guard = Make(true);
    guard->ReforceEndpoint();  // not attached: no alarm yet
    EXPECT_TRUE(endpoint.writes.empty());
    guard->ForceFullVolume();
    endpoint.writes.clear();
    guard->ReforceEndpoint();
    EXPECT_TRUE(endpoint.writes.empty());
    endpoint.muted = true;
    guard->ReforceEndpoint();
    EXPECT_EQ(endpoint.writes, (std::vector<std::string>{"mute off"}));
}

TEST_F(VolumeGuardTest, EndpointUnlockWithoutAlarmWritesNothing)
{
    auto guard = Make(true);
    guard->Restore();
    guard->ForceFullVolume();
    guard->Restore();
    endpoint.writes.clear();
    guard->Restore();
    EXPECT_TRUE(endpoint.writes.empty());
    // The next alarm saves anew.
    endpoint.volume = 0.75f;
    guard->ForceFullVolume();
    guard->Restore();
    EXPECT_EQ(endpoint.volume, 0.75f);
}

TEST_F(VolumeGuardTest, MissingEndpointLeavesTheMixerPath)
{
    endpoint.attachable = false;
    auto guard = Make(true);
    guard->ForceFullVolume();
    EXPECT_EQ(mixer.values[MASTER_VOLUME], 0xFFFFu);
    guard->ReforceEndpoint();
    guard->Restore();
    EXPECT_TRUE(endpoint.writes.empty());
    EXPECT_EQ(mixer.values[MASTER_VOLUME], 0x4000u);
}

TEST_F(VolumeGuardTest, AnEndpointThatAnswersNothingIsCarriedPast)
{
    endpoint.implemented = false;  // every call fails
    auto guard = Make(true);
    guard->ForceFullVolume();
    guard->ReforceEndpoint();
    EXPECT_EQ(mixer.values[MASTER_VOLUME], 0xFFFFu);
    guard->Restore();
    EXPECT_EQ(mixer.values[MASTER_VOLUME], 0x4000u);
    EXPECT_TRUE(endpoint.writes.empty());
}

// Earphones plugged in while the siren sounds: the new default is forced
// too, and at unlock each endpoint gets back what its owner had.
TEST_F(VolumeGuardTest, ANewDefaultEndpointIsForcedAndEachIsGivenBack)
{
    endpoint.others[u"earphones"] = FakeEndpointLevels{0.1f, true};
    auto guard = Make(true);
    ASSERT_TRUE(guard->OpenWithWindow(0x1234));
    guard->ForceFullVolume();
    endpoint.defaultId = u"earphones";
    guard->FollowDefaultEndpoint(true);
    EXPECT_EQ(endpoint.others[u"earphones"].volume, 1.0f);
    EXPECT_FALSE(endpoint.others[u"earphones"].muted);
    // The owner's values, one entry per forced endpoint, in order.
    const std::vector<SavedEndpointVolume> owners = {{u"speakers", 0.25f, true, true, true},
                                                     {u"earphones", 0.1f, true, true, true}};
    EXPECT_EQ(guard->Saved().endpoints, owners);
    // Back and forth again keeps the first values of each.
    endpoint.defaultId = u"speakers";
    guard->FollowDefaultEndpoint(true);
    endpoint.defaultId = u"earphones";
    guard->FollowDefaultEndpoint(true);
    EXPECT_EQ(guard->Saved().endpoints, owners);

    guard->Restore();
    EXPECT_EQ(endpoint.volume, 0.25f);
    EXPECT_TRUE(endpoint.muted);
    EXPECT_EQ(endpoint.others[u"earphones"].volume, 0.1f);
    EXPECT_TRUE(endpoint.others[u"earphones"].muted);
    EXPECT_TRUE(guard->Saved().endpoints.empty());
    // And the guard is on the default endpoint again.
    EXPECT_EQ(endpoint.attachedId, u"earphones");
}

TEST_F(VolumeGuardTest, ANewDefaultEndpointBeforeTheAlarmIsOnlyReached)
{
    endpoint.others[u"earphones"] = FakeEndpointLevels{0.1f, true};
    auto guard = Make(true);
    ASSERT_TRUE(guard->OpenWithWindow(0x1234));
    endpoint.defaultId = u"earphones";
    guard->FollowDefaultEndpoint(false);
    EXPECT_TRUE(endpoint.writes.empty());
    EXPECT_TRUE(guard->Saved().endpoints.empty());
    // The alarm then forces the new default, not the speakers.
    guard->ForceFullVolume();
    EXPECT_EQ(endpoint.others[u"earphones"].volume, 1.0f);
    EXPECT_EQ(endpoint.volume, 0.25f);
}

TEST_F(VolumeGuardTest, AnEndpointGoneBeforeUnlockIsSkipped)
{
    endpoint.others[u"earphones"] = FakeEndpointLevels{0.1f, false};
    auto guard = Make(true);
    ASSERT_TRUE(guard->OpenWithWindow(0x1234));
    endpoint.defaultId = u"earphones";
    guard->FollowDefaultEndpoint(true);
    endpoint.volume = 0.5f;  // the speakers were never forced
    // Unplugged again: the speakers are the default, the earphones gone.
    endpoint.others.clear();
    endpoint.defaultId = u"speakers";
    guard->FollowDefaultEndpoint(true);
    endpoint.writes.clear();
    guard->Restore();
    EXPECT_EQ(endpoint.writes, (std::vector<std::string>{"volume 0.500000", "mute on"}));
}

TEST_F(VolumeGuardTest, EachValueIsReportedToTheGiveBackBeforeItIsOverwritten)
{
    // The mixer control of each saved value, in the order of MixerValue.
    constexpr uint32_t CONTROL_OF[MIXER_VALUE_COUNT] = {WAVE_VOLUME, MASTER_VOLUME, WAVE_MUTE, MASTER_MUTE};
    auto made = Make(true);
    VolumeGuard& guard = *made;
    const FakeMixerState owner = mixer;
    const float ownerVolume = endpoint.volume;
    const bool ownerMuted = endpoint.muted;
    std::array<bool, MIXER_VALUE_COUNT> seen = {};
    bool volumeSeen = false, muteSeen = false;
    // A value newly saved must still be the owner's on the device.
    guard.SetSavedListener([&](const VolumeRecord& record) {
        for (size_t i = 0; i < MIXER_VALUE_COUNT; ++i)
            if (record.mixer[i].saved && !seen[i]) {
                seen[i] = true;
                EXPECT_EQ(mixer.values.at(CONTROL_OF[i]), owner.values.at(CONTROL_OF[i])) << i;
            }
        for (const SavedEndpointVolume& e : record.endpoints) {
            if (e.volumeSaved && !volumeSeen) {
                volumeSeen = true;
                EXPECT_EQ(endpoint.volume, ownerVolume);
            }
            if (e.muteSaved && !muteSeen) {
                muteSeen = true;
                EXPECT_EQ(endpoint.muted, ownerMuted);
            }
        }
    });
    ASSERT_TRUE(guard.OpenWithWindow(1));
    guard.ForceFullVolume();
    EXPECT_TRUE(std::count(seen.begin(), seen.end(), true) == MIXER_VALUE_COUNT && volumeSeen && muteSeen);

    const auto saved = guard.Saved().mixer;
    for (size_t i = 0; i < MIXER_VALUE_COUNT; ++i)
        EXPECT_EQ(saved[i], (SavedWord{owner.values.at(CONTROL_OF[i]), true})) << i;
    ASSERT_EQ(guard.Saved().endpoints.size(), 1u);
    EXPECT_EQ(guard.Saved().endpoints[0], (SavedEndpointVolume{u"speakers", ownerVolume, true, true, true}));

    // Forcing again keeps the owner's values; the give-back empties the lists.
    guard.ForceFullVolume();
    EXPECT_EQ(guard.Saved().mixer, saved);
    guard.Restore();
    EXPECT_TRUE(guard.Saved().endpoints.empty());
    for (const SavedWord& word : guard.Saved().mixer)
        EXPECT_FALSE(word.saved);
}

// A dongle made itself the default while armed, and was pulled out again:
// the device of arming keeps a forced siren of its own, each given back.
TEST(ArmingEndpointTest, TheDeviceOfArmingIsForcedBesideANewDefaultAndGivenBack)
{
    FakeMixerState mixer = UsualMixer();
    FakeEndpointState endpoint;
    endpoint.others[u"dongle"] = FakeEndpointLevels{0.5f, false};
    VolumeGuard volume(std::make_unique<FakeMixerDevice>(mixer), std::make_unique<FakeEndpoint>(endpoint));
    ASSERT_TRUE(volume.OpenWithWindow(1));  // the speakers are the default at arming
    EXPECT_EQ(volume.ForceArmingEndpoint(), u"");
    EXPECT_TRUE(endpoint.writes.empty());

    endpoint.defaultId = u"dongle";
    volume.FollowDefaultEndpoint(true);
    EXPECT_EQ(volume.ForceArmingEndpoint(), u"speakers");
    EXPECT_TRUE(endpoint.volume == 1.0f && !endpoint.muted);
    EXPECT_EQ(endpoint.others[u"dongle"].volume, 1.0f);
    EXPECT_EQ(endpoint.attachedId, u"dongle");  // the default's notices still heard

    endpoint.defaultId = u"speakers";
    volume.FollowDefaultEndpoint(true);
    EXPECT_EQ(volume.ForceArmingEndpoint(), u"");
    volume.Restore();
    EXPECT_TRUE(endpoint.volume == 0.25f && endpoint.muted);
    EXPECT_EQ(endpoint.others[u"dongle"].volume, 0.5f);
}

// After a crash: a fresh guard writes back what the record holds, each
// endpoint reached by its id, and does not stay on the default one for its
// notices.
TEST_F(VolumeGuardTest, ARecordLeftByACrashIsGivenBack)
{
    mixer = UsualMixer(0xFFFF, 0xFFFF, 0, 0);
    endpoint.volume = 1.0f;
    endpoint.muted = true;  // not in the record: left as it is
    endpoint.others[u"earphones"] = FakeEndpointLevels{1.0f, false};
    VolumeRecord record;
    record.mixer[MIXER_MASTER_VOLUME] = {0x4000, true};
    record.mixer[MIXER_WAVE_OUT_MUTE] = {1, true};
    record.endpoints = {{u"speakers", 0.25f, true, false, false}, {u"earphones", 0, false, true, true}};
    Make(true)->GiveBack(VolumeRecord());  // a record of nothing reaches no device at all
    EXPECT_EQ(mixer.opens, 0);
    const Values forced = mixer.values;
    Make(true)->GiveBack(record);
    EXPECT_EQ(Changed(forced, mixer.values), (Values{{MASTER_VOLUME, 0x4000}, {WAVE_MUTE, 1}}));
    const FakeEndpointLevels earphones = endpoint.others[u"earphones"];
    EXPECT_TRUE(endpoint.volume == 0.25f && endpoint.muted && earphones.volume == 1.0f && earphones.muted);
    EXPECT_EQ(endpoint.attaches, 0);
}

}  // namespace
