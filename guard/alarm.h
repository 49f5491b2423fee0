// Starting and ending the alarm: the siren at forced full volume, the SMS
// notice, the guard desktop brought back to the front. The decisions live
// here over AlarmPlatform; guard/alarm_win32.h runs them on the real machine.
//
// Threads: both run on the guard thread, the thread that runs the guard
// dialog and called Arm (guard/input_hooks_win32.h). The low-level hooks never
// start the alarm themselves (a hook that overruns its time-out is removed by
// the system without a word): the mouse-motion detector posts
// ALARM_MESSAGE_START to a message-only window that Arm creates on the guard
// thread, and the guard dialog's own modal message loop delivers it, which
// runs StartAlarm a moment after the hook returns. The same window receives
// ALARM_MESSAGE_ENDPOINT_CHANGED from the audio endpoint's change notices
// (they arrive on a system thread) and re-forces the endpoint while the siren
// sounds. The guard dialog pumps nothing of its own for either; it handles
// only the mixer's change messages (MM_MIXM_LINE_CHANGE, MM_MIXM_CONTROL_CHANGE)
// sent to the window it gave to the mixer.
#pragma once

#include <cstdint>

#include "guard/alarm_cause.h"

struct Settings;
class VolumeGuard;

// Messages of the guard thread's alarm window (WM_APP range).
constexpr unsigned ALARM_MESSAGE_START = 0x8000 + 0x41;
constexpr unsigned ALARM_MESSAGE_ENDPOINT_CHANGED = 0x8000 + 0x42;
// Posted by the endpoint's device notices when the default output changes.
constexpr unsigned ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED = 0x8000 + 0x51;

// What the alarm asks of the platform.
class AlarmPlatform {
public:
    virtual ~AlarmPlatform() = default;
    virtual void SendAlarmNotice() = 0;
    virtual void BringGuardDesktopToFront() = 0;
    virtual VolumeGuard& Volume() = 0;
    virtual void StartSiren() = 0;
    virtual void StopSiren() = 0;
    // Hands the owner's phone message to the push sender's own thread and
    // returns at once.
    virtual void QueueAlarmPush(AlarmCause cause) = 0;
};

// Does nothing if the siren already sounds. Otherwise, in this order: marks
// the siren as sounding, asks the SMS service to text the owner when that is
// on, brings the calling thread's desktop to the front, forces full volume,
// unmutes, starts the looping siren, then queues the push message that says
// why.
void StartAlarm(Settings& settings, AlarmPlatform& platform, AlarmCause cause);
// Marks the siren silent, stops it, and gives back what the owner had.
void StopAlarm(Settings& settings, AlarmPlatform& platform);

// The default output device changed (earphones, a headset, a dock): the
// volume guard reaches the new one; while the siren sounds it forces that one
// full and unmuted and the siren starts again on it.
void FollowDefaultDevice(Settings& settings, AlarmPlatform& platform);
