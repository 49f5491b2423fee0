// The alarm of guard/alarm.h over the real machine: the SMS service, the
// guard desktop, the volume guard and the siren. On the guard thread only.
#pragma once

#include "guard/alarm.h"

// Does nothing if the siren already sounds. Otherwise, in this order: marks
// the siren as sounding, asks the SMS service to text the owner when that is
// on, brings the calling thread's desktop to the front, forces full volume,
// unmutes, starts the looping siren; when the default output device is no
// longer the one of arming, forces that one too and sounds the siren there
// as well (the laptop's own speakers go on sounding after a USB or Bluetooth
// device made itself the default); then queues the push message that says
// why. A step that fails is reported and the next one still runs: nothing
// keeps the siren silent.
void StartAlarm(GuardAlarm& alarm, AlarmCause cause);
// Marks the siren silent, stops it, and gives back what the owner had.
void StopAlarm(GuardAlarm& alarm);

// The session has the console again while the siren sounds (after Switch
// user, or a remote session): the system closed the siren's stream meanwhile,
// and the default device may be another. Brings the guard's desktop to the
// front, reaches the default device now and forces it, forces the volume,
// and starts the siren again. Does nothing while the siren is silent.
void RestartAlarmSound(GuardAlarm& alarm);

// The default output device changed (earphones, a headset, a dock): the
// volume guard reaches the new one; while the siren sounds it forces that one
// full and unmuted and the siren starts again on it.
void FollowDefaultDevice(GuardAlarm& alarm);

// Switches the screen to the calling thread's desktop (the guard's).
void BringGuardDesktopToFront() noexcept;
