// The alarm's own rules: it starts once per alarm; and while it sounds, the
// device of arming keeps a forced siren of its own beside a new default
// device, each given back at unlock.
#include <gtest/gtest.h>

#include <memory>

#include "fake_mixer.h"
#include "guard/alarm.h"
#include "guard/guard_config.h"
#include "guard/volume_guard.h"

namespace {

TEST(AlarmTest, StartsOncePerAlarm)
{
    const GuardConfig config;
    GuardAlarm alarm(config);
    EXPECT_TRUE(alarm.Begin());
    EXPECT_FALSE(alarm.Begin());
    EXPECT_TRUE(alarm.sirenSounding);
    alarm.sirenSounding = false;  // as StopAlarm leaves it: the next alarm starts afresh
    EXPECT_TRUE(alarm.Begin());
}

// A dongle made itself the default while armed, and was pulled out again.
TEST(AlarmTest, TheDeviceOfArmingIsForcedBesideANewDefaultAndGivenBack)
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

}  // namespace
