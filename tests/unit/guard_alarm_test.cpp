// StartAlarm and StopAlarm: their order, once per alarm, the SMS notice only
// when the service is on, the push message after the siren with its cause.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "fake_log_files.h"
#include "fake_mixer.h"
#include "fresh_settings_test.h"
#include "guard/alarm.h"
#include "guard/volume_guard.h"
#include "settings/settings.h"

namespace {

class RecordingAlarmPlatform : public AlarmPlatform {
public:
    std::vector<std::string> log;
    FakeMixerState mixer = UsualMixer(0x4000, 0x8000, 0, 1);
    FakeEndpointState endpoint;
    VolumeGuard volume;

    explicit RecordingAlarmPlatform(bool withEndpoint = false)
        : volume(std::make_unique<FakeMixerDevice>(mixer),
                 withEndpoint ? std::make_unique<FakeEndpoint>(endpoint) : nullptr)
    {
        mixer.log = &log;
        endpoint.log = &log;
    }

    bool noticeFails = false;
    void SendAlarmNotice() override
    {
        log.push_back("notice");
        if (noticeFails)
            throw std::bad_alloc();
    }
    void BringGuardDesktopToFront() override { log.push_back("desktop"); }
    VolumeGuard& Volume() override { return volume; }
    void StartSiren() override { log.push_back("siren on"); }
    void StopSiren() override { log.push_back("siren off"); }
    void QueueAlarmPush(AlarmCause cause) override { log.push_back(std::string("push: ") + AlarmCauseText(cause)); }
    std::u16string secondSiren;  // the endpoint the second siren sounds on
    void StartSirenOn(const std::u16string& endpoint) override { secondSiren = endpoint; }
    void StopSirenOn() override { secondSiren.clear(); }
};

using Log = std::vector<std::string>;

class AlarmTest : public FreshSettingsTest {};

TEST_F(AlarmTest, StartsInOrderWithTheNotice)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmPlatform platform;
    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    EXPECT_TRUE(settings.sirenSounding);
    EXPECT_EQ(platform.log, (Log{"notice", "desktop", "mixer 1=65535", "mixer 3=65535", "mixer 4=0",
                              "mixer 2=0", "siren on", "push: the mouse was moved"}));
}

TEST_F(AlarmTest, AFailedNoticeStillStartsTheSirenAndIsPassedOn)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmPlatform platform;
    platform.noticeFails = true;
    EXPECT_THROW(StartAlarm(settings, platform, AlarmCause::MouseMoved), std::bad_alloc);
    EXPECT_EQ(platform.log.back(), "push: the mouse was moved");
    EXPECT_EQ(platform.log.size(), 8u);  // every step, in order
}

TEST_F(AlarmTest, NoNoticeWithoutTheService)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, false);
    RecordingAlarmPlatform platform;
    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    ASSERT_FALSE(platform.log.empty());
    EXPECT_EQ(platform.log.front(), "desktop");
    EXPECT_EQ(platform.log.back(), "push: the mouse was moved");
}

TEST_F(AlarmTest, ASecondStartDoesNothing)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmPlatform platform;
    TestLog().TakeTexts();
    StartAlarm(settings, platform, AlarmCause::LidClosed);
    const size_t after = platform.log.size();
    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    StartAlarm(settings, platform, AlarmCause::DesktopSwitch);
    EXPECT_EQ(platform.log.size(), after);
    // One line for the owner, with the cause that started the siren.
    EXPECT_EQ(TestLog().TakeTexts(), std::vector<std::string>{"Alarm: the lid was closed"});
}

TEST_F(AlarmTest, StopSilencesThenRestores)
{
    Settings& settings = GetSettings();
    RecordingAlarmPlatform platform;
    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    platform.log.clear();
    StopAlarm(settings, platform);
    EXPECT_FALSE(settings.sirenSounding);
    EXPECT_EQ(platform.log, (Log{"siren off", "mixer 3=32768", "mixer 1=16384", "mixer 4=1", "mixer 2=0"}));
}

TEST_F(AlarmTest, StopWithoutAlarmOnlyStopsTheSiren)
{
    Settings& settings = GetSettings();
    RecordingAlarmPlatform platform;
    StopAlarm(settings, platform);
    EXPECT_EQ(platform.log, (Log{"siren off"}));
}

TEST_F(AlarmTest, TheNextAlarmNotifiesAgain)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmPlatform platform;
    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    StopAlarm(settings, platform);
    platform.log.clear();
    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    ASSERT_FALSE(platform.log.empty());
    EXPECT_EQ(platform.log.front(), "notice");
    EXPECT_TRUE(settings.sirenSounding);
}

// A new default output device (earphones) while armed: reached at once; the
// siren restarts on it only while it sounds.
TEST_F(AlarmTest, ANewDefaultDeviceIsForcedAndTheSirenRestartsOnlyWhileSounding)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, false);
    RecordingAlarmPlatform platform(true);
    platform.endpoint.others[u"earphones"] = FakeEndpointLevels{0.5f, true};
    ASSERT_TRUE(platform.volume.OpenWithWindow(1));
    platform.endpoint.defaultId = u"earphones";
    FollowDefaultDevice(settings, platform);
    EXPECT_TRUE(platform.log.empty());

    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    platform.endpoint.defaultId = u"speakers";
    platform.log.clear();
    FollowDefaultDevice(settings, platform);
    EXPECT_EQ(platform.log, (Log{"endpoint volume 1.000000", "endpoint mute off", "siren on"}));
}

// A dongle made itself the default, then Switch user and back: the device of
// arming keeps a forced siren of its own; all given back at unlock.
TEST_F(AlarmTest, TheDeviceOfArmingKeepsSoundingThroughANewDefaultAndSwitchUser)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, false);
    RecordingAlarmPlatform platform(true);
    platform.endpoint.others[u"dongle"] = FakeEndpointLevels{0.5f, false};
    ASSERT_TRUE(platform.volume.OpenWithWindow(1));  // the speakers are the default at arming
    platform.endpoint.defaultId = u"dongle";
    FollowDefaultDevice(settings, platform);
    RestartAlarmSound(settings, platform);
    EXPECT_TRUE(platform.secondSiren.empty() && platform.log.empty());  // silent until the alarm

    StartAlarm(settings, platform, AlarmCause::MouseMoved);
    EXPECT_EQ(platform.endpoint.others[u"dongle"].volume, 1.0f);
    EXPECT_EQ(platform.endpoint.attachedId, u"dongle");  // its notices still heard
    platform.endpoint.volume = 0.1f;  // lowered while another user had the console
    platform.log.clear();
    RestartAlarmSound(settings, platform);
    EXPECT_EQ(platform.log.front(), "desktop");
    EXPECT_NE(std::find(platform.log.begin(), platform.log.end(), "siren on"), platform.log.end());
    EXPECT_TRUE(platform.endpoint.volume == 1.0f && platform.secondSiren == u"speakers");

    platform.endpoint.defaultId = u"speakers";  // the dongle pulled out
    FollowDefaultDevice(settings, platform);
    EXPECT_TRUE(platform.secondSiren.empty());
    StopAlarm(settings, platform);
    EXPECT_TRUE(platform.endpoint.volume == 0.25f && platform.endpoint.others[u"dongle"].volume == 0.5f);
}

}  // namespace
