#include "guard/alarm.h"

#include <new>
#include <string>

#include "win32/event_log.h"
#include "guard/volume_guard.h"
#include "settings/settings.h"

namespace {

// Runs one step of the alarm. Running out of memory in it must not keep the
// siren silent: the shortage is noted, the later steps run, and it is thrown
// again once the sirens sound, for the callback edge to report.
template <class Step>
void TryAlarmStep(Step step, bool& outOfMemory)
{
    try {
        step();
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
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
    bool outOfMemory = false;
    if (settings.HasFlag(FLAG_SMS_SERVICE))
        TryAlarmStep([&] { platform.SendAlarmNotice(); }, outOfMemory);
    TryAlarmStep([&] { platform.BringGuardDesktopToFront(); }, outOfMemory);
    TryAlarmStep(
        [&] {
            VolumeGuard& volume = platform.Volume();
            volume.ForceFullVolume();
            volume.Unmute();
        },
        outOfMemory);
    platform.StartSiren();
    TryAlarmStep([&] { SoundOnArmingDevice(platform); }, outOfMemory);
    // After the sirens, so that the message can never hold them up.
    platform.QueueAlarmPush(cause);
    if (outOfMemory)
        throw std::bad_alloc();
}

void RestartAlarmSound(Settings& settings, AlarmPlatform& platform)
{
    if (!settings.sirenSounding)
        return;
    bool outOfMemory = false;
    TryAlarmStep([&] { platform.BringGuardDesktopToFront(); }, outOfMemory);
    TryAlarmStep(
        [&] {
            VolumeGuard& volume = platform.Volume();
            volume.FollowDefaultEndpoint(true);
            volume.ForceFullVolume();
            volume.Unmute();
        },
        outOfMemory);
    platform.StartSiren();
    TryAlarmStep([&] { SoundOnArmingDevice(platform); }, outOfMemory);
    if (outOfMemory)
        throw std::bad_alloc();
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
