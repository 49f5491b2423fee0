#include "guard/alarm.h"

#include <exception>
#include <string>

#include "app/event_log.h"
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

void StartAlarm(Settings& settings, AlarmPlatform& platform, AlarmCause cause)
{
    if (settings.sirenSounding.exchange(true))
        return;
    LogEvent(std::string("Alarm: ") + AlarmCauseText(cause));
    // The siren counts as sounding from here on, so no later call starts it:
    // whatever fails on the way, it must still start.
    std::exception_ptr failure;
    if (settings.HasFlag(FLAG_SMS_SERVICE))
        TryBeforeSiren([&] { platform.SendAlarmNotice(); }, failure);
    TryBeforeSiren([&] { platform.BringGuardDesktopToFront(); }, failure);
    TryBeforeSiren(
        [&] {
            VolumeGuard& volume = platform.Volume();
            volume.ForceFullVolume();
            volume.Unmute();
        },
        failure);
    platform.StartSiren();
    // After the siren, so that the message can never hold it up.
    platform.QueueAlarmPush(cause);
    if (failure)
        std::rethrow_exception(failure);
}

void StopAlarm(Settings& settings, AlarmPlatform& platform)
{
    settings.sirenSounding = false;
    platform.StopSiren();
    platform.Volume().Restore();
}

void FollowDefaultDevice(Settings& settings, AlarmPlatform& platform)
{
    const bool sounding = settings.sirenSounding;
    platform.Volume().FollowDefaultEndpoint(sounding);
    if (sounding)
        platform.StartSiren();
}
