#include "guard/alarm_win32.h"

#include <windows.h>

#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "guard/guard_config.h"
#include "guard/siren_win32.h"
#include "guard/volume_guard_win32.h"
#include "online/push_sender_win32.h"
#include "online/service_calls_win32.h"

namespace {

// While the siren sounds: the device of arming, when another one is the
// default now, sounds a siren of its own, forced like the default one.
void SoundOnArmingDevice(VolumeGuard& volume)
{
    const std::u16string device = volume.ForceArmingEndpoint();
    if (device.empty())
        StopSirenOn();
    else
        StartSirenOn(device);
}

}  // namespace

// Each step that may fail (out of memory) runs under the callback edge's own
// policy: the failure is reported, and the steps after it, the siren first,
// still run.

void StartAlarm(GuardAlarm& alarm, AlarmCause cause)
{
    if (!alarm.Begin())
        return;
    if (alarm.config.flags & FLAG_SMS_SERVICE)
        AtCallbackEdge([&] { SendAlarmNotice(alarm.config.account); });
    BringGuardDesktopToFront();
    VolumeGuard& volume = GetVolumeGuard();
    AtCallbackEdge([&] {
        volume.ForceFullVolume();
        volume.Unmute();
    });
    StartSiren();
    if (!alarm.sirenStartMs)
        alarm.sirenStartMs = GetTickCount64();
    AtCallbackEdge([&] { SoundOnArmingDevice(volume); });
    // After the sirens, so that the message and the disk can never hold them up.
    QueueAlarmPush(alarm.config.push, AlarmCauseText(cause));
    LogEvent(std::string("Alarm: ") + AlarmCauseText(cause));
}

void RestartAlarmSound(GuardAlarm& alarm)
{
    if (!alarm.sirenSounding)
        return;
    BringGuardDesktopToFront();
    VolumeGuard& volume = GetVolumeGuard();
    AtCallbackEdge([&] {
        volume.FollowDefaultEndpoint(true);
        volume.ForceFullVolume();
        volume.Unmute();
    });
    StartSiren();
    // Its stream may have died while another session had the screen, even
    // on the same device: started afresh too.
    StopSirenOn();
    AtCallbackEdge([&] { SoundOnArmingDevice(volume); });
}

void StopAlarm(GuardAlarm& alarm)
{
    alarm.sirenSounding = false;
    StopSiren();
    StopSirenOn();
    GetVolumeGuard().Restore();
}

void FollowDefaultDevice(GuardAlarm& alarm)
{
    VolumeGuard& volume = GetVolumeGuard();
    volume.FollowDefaultEndpoint(alarm.sirenSounding);
    if (alarm.sirenSounding) {
        StartSiren();
        SoundOnArmingDevice(volume);
    }
}

void BringGuardDesktopToFront() noexcept
{
    if (!SwitchDesktop(GetThreadDesktop(GetCurrentThreadId())))
        LogFailedCall("SwitchDesktop", GetLastError());
}
