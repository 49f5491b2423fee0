// The alarm: the siren at forced full volume, the SMS notice, the guard
// desktop brought back to the front. guard/alarm_win32.h starts and ends it
// on the real machine.
//
// Threads: all of it runs on the guard thread, in the guard dialog's
// procedure. The low-level hooks never start the alarm themselves (a hook
// that overruns its time-out is removed by the system without a word): the
// mouse hook posts ALARM_MESSAGE_START to the armed guard's dialog, whose
// modal loop delivers it a moment after the hook returns. The audio
// endpoint's change notices (on a system thread) post
// ALARM_MESSAGE_ENDPOINT_CHANGED and ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED
// there too, and the mixer sends its own change messages (MM_MIXM_LINE_CHANGE,
// MM_MIXM_CONTROL_CHANGE) to the same dialog.
#pragma once

#include <cstdint>
#include <optional>

#include "guard/alarm_cause.h"

struct GuardConfig;

// Messages posted to the armed guard's dialog (WM_APP range).
constexpr unsigned ALARM_MESSAGE_START = 0x8000 + 0x41;  // wParam: the AlarmCause
constexpr unsigned ALARM_MESSAGE_ENDPOINT_CHANGED = 0x8000 + 0x42;
// Posted by the endpoint's device notices when the default output changes.
constexpr unsigned ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED = 0x8000 + 0x51;

// One guard's alarm, kept in its dialog's data on the guard thread.
struct GuardAlarm {
    explicit GuardAlarm(const GuardConfig& guardConfig) : config(guardConfig) {}
    const GuardConfig& config;  // the SMS service flag, its account, the push address
    bool sirenSounding = false;
    std::optional<uint64_t> sirenStartMs;  // GetTickCount64 at this arming's first siren

    // Once per alarm: marks the siren as sounding. False, doing nothing,
    // while it already sounds.
    bool Begin();
};
