// StartAlarm and StopAlarm: their order, once per alarm, the SMS notice only
// when the service is on.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "fake_mixer.h"
#include "fresh_settings_test.h"
#include "guard/alarm.h"
#include "guard/volume_guard.h"
#include "settings/settings.h"

namespace {

class RecordingAlarmShell : public AlarmShell {
public:
    std::vector<std::string> log;
    FakeMixerState mixer = UsualMixer(0x4000, 0x8000, 0, 1);
    FakeEndpointState endpoint;
    VolumeGuard volume;

    explicit RecordingAlarmShell(bool withEndpoint = false)
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
};

using Log = std::vector<std::string>;

class AlarmTest : public FreshSettingsTest {};

TEST_F(AlarmTest, StartsInOrderWithTheNotice)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmShell shell;
    StartAlarm(settings, shell);
    EXPECT_TRUE(settings.sirenSounding);
    EXPECT_EQ(shell.log, (Log{"notice", "desktop", "mixer 1=65535", "mixer 3=65535", "mixer 4=0",
                              "mixer 2=0", "siren on"}));
}

TEST_F(AlarmTest, AFailedNoticeStillStartsTheSirenAndIsPassedOn)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmShell shell;
    shell.noticeFails = true;
    EXPECT_THROW(StartAlarm(settings, shell), std::bad_alloc);
    EXPECT_EQ(shell.log.back(), "siren on");
    EXPECT_EQ(shell.log.size(), 7u);  // every step, in order
}

TEST_F(AlarmTest, NoNoticeWithoutTheService)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, false);
    RecordingAlarmShell shell;
    StartAlarm(settings, shell);
    ASSERT_FALSE(shell.log.empty());
    EXPECT_EQ(shell.log.front(), "desktop");
    EXPECT_EQ(shell.log.back(), "siren on");
}

TEST_F(AlarmTest, ASecondStartDoesNothing)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmShell shell;
    StartAlarm(settings, shell);
    const size_t after = shell.log.size();
    StartAlarm(settings, shell);
    StartAlarm(settings, shell);
    EXPECT_EQ(shell.log.size(), after);
}

TEST_F(AlarmTest, StopSilencesThenRestores)
{
    Settings& settings = GetSettings();
    RecordingAlarmShell shell;
    StartAlarm(settings, shell);
    shell.log.clear();
    StopAlarm(settings, shell);
    EXPECT_FALSE(settings.sirenSounding);
    EXPECT_EQ(shell.log, (Log{"siren off", "mixer 3=32768", "mixer 1=16384", "mixer 4=1", "mixer 2=0"}));
}

TEST_F(AlarmTest, StopWithoutAlarmOnlyStopsTheSiren)
{
    Settings& settings = GetSettings();
    RecordingAlarmShell shell;
    StopAlarm(settings, shell);
    EXPECT_EQ(shell.log, (Log{"siren off"}));
}

TEST_F(AlarmTest, TheNextAlarmNotifiesAgain)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, true);
    RecordingAlarmShell shell;
    StartAlarm(settings, shell);
    StopAlarm(settings, shell);
    shell.log.clear();
    StartAlarm(settings, shell);
    ASSERT_FALSE(shell.log.empty());
    EXPECT_EQ(shell.log.front(), "notice");
    EXPECT_TRUE(settings.sirenSounding);
}

// A new default output device (earphones) while armed: reached at once; the
// siren restarts on it only while it sounds.
TEST_F(AlarmTest, ANewDefaultDeviceIsForcedAndTheSirenRestartsOnlyWhileSounding)
{
    Settings& settings = GetSettings();
    settings.SetFlag(FLAG_SMS_SERVICE, false);
    RecordingAlarmShell shell(true);
    shell.endpoint.others[u"earphones"] = FakeEndpointLevels{0.5f, true};
    shell.volume.OpenWithWindow(1);
    shell.endpoint.defaultId = u"earphones";
    FollowDefaultDevice(settings, shell);
    EXPECT_TRUE(shell.log.empty());

    StartAlarm(settings, shell);
    shell.endpoint.defaultId = u"speakers";
    shell.log.clear();
    FollowDefaultDevice(settings, shell);
    EXPECT_EQ(shell.log, (Log{"endpoint volume 1.000000", "endpoint mute off", "siren on"}));
}

}  // namespace
