#include "guard/alarm.h"

#include "guard/volume_guard.h"
#include "settings/settings.h"

void StartAlarm(Settings& settings, AlarmShell& shell)
{
    if (settings.sirenSounding.exchange(true))
        return;
    if (settings.HasFlag(FLAG_SMS_SERVICE))
        shell.SendAlarmNotice();
    shell.BringGuardDesktopToFront();
    VolumeGuard& volume = shell.Volume();
    volume.ForceFullVolume();
    volume.Unmute();
    shell.StartSiren();
}

void StopAlarm(Settings& settings, AlarmShell& shell)
{
    settings.sirenSounding = false;
    shell.StopSiren();
    shell.Volume().Restore();
}

void FollowDefaultDevice(Settings& settings, AlarmShell& shell)
{
    const bool sounding = settings.sirenSounding;
    shell.Volume().FollowDefaultEndpoint(sounding);
    if (sounding)
        shell.StartSiren();
}
