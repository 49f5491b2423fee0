// What the volume guard hands to the give-back record: each owner's value as
// soon as it is read and before anything is written over it.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "fake_mixer.h"
#include "guard/volume_guard.h"

namespace {

// The mixer control of each saved value, in the order of MixerValue.
constexpr uint32_t CONTROL_OF[MIXER_VALUE_COUNT] = {WAVE_VOLUME, MASTER_VOLUME, WAVE_MUTE, MASTER_MUTE};

class VolumeGiveBackTest : public testing::Test {
protected:
    FakeMixerState mixer = UsualMixer();
    FakeEndpointState endpoint;
    VolumeGuard guard{std::make_unique<FakeMixerDevice>(mixer), std::make_unique<FakeEndpoint>(endpoint)};
};

TEST_F(VolumeGiveBackTest, EachValueIsReportedBeforeItIsOverwritten)
{
    const FakeMixerState owner = mixer;
    const float ownerVolume = endpoint.volume;
    const bool ownerMuted = endpoint.muted;
    int notices = 0;
    std::array<bool, MIXER_VALUE_COUNT> seen = {};
    bool volumeSeen = false, muteSeen = false;
    // A value newly saved must still be the owner's on the device.
    guard.SetSavedListener([&] {
        ++notices;
        const auto saved = guard.SavedMixer();
        for (size_t i = 0; i < MIXER_VALUE_COUNT; ++i)
            if (saved[i].saved && !seen[i]) {
                seen[i] = true;
                EXPECT_EQ(mixer.values.at(CONTROL_OF[i]), owner.values.at(CONTROL_OF[i])) << i;
            }
        for (const SavedEndpointVolume& e : guard.SavedEndpoints()) {
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
    guard.OpenWithWindow(1);
    guard.ForceFullVolume();
    guard.Unmute();
    EXPECT_EQ(notices, 6);  // four mixer values, the endpoint's volume and mute

    const auto saved = guard.SavedMixer();
    for (size_t i = 0; i < MIXER_VALUE_COUNT; ++i)
        EXPECT_EQ(saved[i], (SavedWord{owner.values.at(CONTROL_OF[i]), true})) << i;
    ASSERT_EQ(guard.SavedEndpoints().size(), 1u);
    EXPECT_EQ(guard.SavedEndpoints()[0], (SavedEndpointVolume{u"speakers", ownerVolume, true, true, true}));

    // Forcing again reports nothing new; the give-back empties the lists.
    guard.ForceFullVolume();
    EXPECT_EQ(notices, 6);
    guard.Restore();
    EXPECT_TRUE(guard.SavedEndpoints().empty());
    for (const SavedWord& word : guard.SavedMixer())
        EXPECT_FALSE(word.saved);
}

}  // namespace
