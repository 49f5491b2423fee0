#include "guard/alarm.h"

#include <exception>

#include "guard/volume_guard.h"
#include "settings/settings.h"

namespace {

// Runs one step before the siren; a failure is kept for later instead of
// keeping the siren silent.
template <class Step>
void TryBeforeSiren(Step step, std::exception_ptr& failure)
{
    try {
        step();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
}

}  // namespace

void StartAlarm(Settings& settings, AlarmShell& shell)
{
    if (settings.sirenSounding.exchange(true))
        return;
    // The siren counts as sounding from here on, so no later call starts it:
    // whatever fails on the way, it must still start.
    std::exception_ptr failure;
    if (settings.HasFlag(FLAG_SMS_SERVICE))
        TryBeforeSiren([&] { shell.SendAlarmNotice(); }, failure);
    TryBeforeSiren([&] { shell.BringGuardDesktopToFront(); }, failure);
    TryBeforeSiren(
        [&] {
            VolumeGuard& volume = shell.Volume();
            volume.ForceFullVolume();
            volume.Unmute();
        },
        failure);
    shell.StartSiren();
    if (failure)
        std::rethrow_exception(failure);
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
