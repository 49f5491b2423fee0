#include "guard/alarm.h"

#include <exception>
#include <string>

#include "win32/event_log.h"
#include "guard/volume_guard.h"
#include "settings/settings.h"

namespace {

// Runs one step of the alarm; a failure is kept for later instead of keeping
// the siren silent.
template <class Step>
void TryAlarmStep(Step step, std::exception_ptr& failure)
{
    try {
        step();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
}

// While the siren sounds: the device of arming sounds it too when it is no
// longer the default, and is forced full like the default one.
void SoundOnArmingDevice(AlarmPlatform& platform)
{
    VolumeGuard& volume = platform.Volume();
    const std::u16string device = volume.ArmingEndpointBesideDefault();
    if (device.empty()) {
        platform.StopSirenOn();
        return;
    }
    volume.ForceArmingEndpoint();
    platform.StartSirenOn(device);
}

}  // namespace

void StartAlarm(Settings& settings, AlarmPlatform& platform, AlarmCause cause)
{
    if (settings.sirenSounding.exchange(true))
        return;
    LogEvent(std::string("Alarm: ") + AlarmCauseText(cause));
    // The siren counts as sounding from here on, so no later call starts it:
    // whatever fails on the way, it must still start.
    std::exception_ptr failure;
    if (settings.HasFlag(FLAG_SMS_SERVICE))
        TryAlarmStep([&] { platform.SendAlarmNotice(); }, failure);
    TryAlarmStep([&] { platform.BringGuardDesktopToFront(); }, failure);
    TryAlarmStep(
        [&] {
            VolumeGuard& volume = platform.Volume();
            volume.ForceFullVolume();
            volume.Unmute();
        },
        failure);
    platform.StartSiren();
    TryAlarmStep([&] { SoundOnArmingDevice(platform); }, failure);
    // After the sirens, so that the message can never hold them up.
    platform.QueueAlarmPush(cause);
    if (failure)
        std::rethrow_exception(failure);
}

void RestartAlarmSound(Settings& settings, AlarmPlatform& platform)
{
    if (!settings.sirenSounding)
        return;
    std::exception_ptr failure;
    TryAlarmStep([&] { platform.BringGuardDesktopToFront(); }, failure);
    TryAlarmStep(
        [&] {
            VolumeGuard& volume = platform.Volume();
            volume.FollowDefaultEndpoint(true);
            volume.ForceFullVolume();
            volume.Unmute();
        },
        failure);
    platform.StartSiren();
    TryAlarmStep([&] { SoundOnArmingDevice(platform); }, failure);
    if (failure)
        std::rethrow_exception(failure);
}

void StopAlarm(Settings& settings, AlarmPlatform& platform)
{
    settings.sirenSounding = false;
    platform.StopSiren();
    platform.StopSirenOn();
    platform.Volume().Restore();
}

void FollowDefaultDevice(Settings& settings, AlarmPlatform& platform)
{
    const bool sounding = settings.sirenSounding;
    platform.Volume().FollowDefaultEndpoint(sounding);
    if (sounding) {
        platform.StartSiren();
        SoundOnArmingDevice(platform);
    }
}
