// The guard dialog (dialog 142): armed from its initialisation until the
// unlock password is typed. Every trigger is a case of its procedure, and the
// alarm it starts is StartAlarm; all of it on the guard thread.
#pragma once

#include <optional>

#include <windows.h>

#include <cstdint>

#include "win32/event_log_win32.h"
#include "guard/alarm_cause.h"
#include "guard/photo_win32.h"
#include "guard/siren_win32.h"
#include "guard/volume_guard.h"

struct GuardConfig;
struct Picture;

// Posted to the armed guard's dialog from other threads: by the mouse hook
// and the callback edge (wParam: the AlarmCause), by the audio endpoint's
// notices, and by the hook thread for a failed call, which it may not log
// itself (wParam, lParam: LogHookThreadFailure's).
constexpr UINT WM_APP_ALARM = WM_APP + 0x41;
constexpr UINT WM_APP_ENDPOINT_CHANGED = WM_APP + 0x42;
constexpr UINT WM_APP_HOOK_FAILED = WM_APP + 0x43;
constexpr UINT WM_APP_DEFAULT_DEVICE_CHANGED = WM_APP + 0x51;

// How a guard dialog ended: unlocked by its password; before arming, because
// the mixer could not be opened (the caller ends the program); or refused
// before arming because a call it depends on failed (failed, with its
// error), with nothing left changed.
struct GuardEnd {
    enum Kind { Unlocked, NoSound, Refused } kind;
    FailedCall failed;
};

// Runs the dialog modally with no owner on the calling thread's desktop,
// showing the picture; returns at unlock, or at once when arming did not
// happen.
GuardEnd RunGuardDialog(const GuardConfig& config, const Picture& lockPicture) noexcept;

// Whether a guard's siren sounds, and since when (GetTickCount64) for the
// owner's disarmed message; its second siren and its volume, open from
// arming; on the guard thread.
struct SirenState {
    bool sounding = false;
    std::optional<unsigned long long> startedMs;
    DeviceSiren second;
    std::unique_ptr<VolumeGuard> volume;
    AlarmPhotosStop photos;
};

// Does nothing while the siren sounds. Otherwise, once per alarm and in this
// order: marks it sounding, asks the SMS service to text the owner when that
// is on, brings the calling thread's desktop to the front, forces full volume
// and unmutes, starts the looping siren (noting when, once per arming),
// sounds a second siren on the device of arming when another one has become
// the default, then queues the push message and logs the cause. Each step
// stands alone: one that fails or throws (out of memory) is skipped and the
// next one runs. What the steps log waits until the sirens sound.
void StartAlarm(const GuardConfig& config, SirenState& state, AlarmCause cause);
// Ends the sounding, stops both sirens and gives back the owner's volume.
void StopAlarm(SirenState& state);

// The notices WM_POWERBROADCAST and WM_DEVICECHANGE point to, judged while
// armed. PowerSettingAlarm: what a PBT_POWERSETTINGCHANGE notice sounds for
// (AlarmCause::Unknown for nothing) given the flag word and the line status
// at arming; the first lid notice only reports the lid's state and sets
// lidStateKnown, and a closed lid sounds with the shutdown or the
// mouse-motion trigger (closing a laptop and carrying it off moves it). HidInterfaceRemoved: a DBT_DEVICEREMOVECOMPLETE of any HID
// interface, a keyboard as well as a mouse.
AlarmCause PowerSettingAlarm(const POWERBROADCAST_SETTING& notice, uint32_t flags, BYTE acLineStatusAtArming,
                             bool& lidStateKnown) noexcept;
bool HidInterfaceRemoved(WPARAM wParam, LPARAM lParam) noexcept;
