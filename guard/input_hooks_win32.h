// The low-level hooks of the armed state: the keyboard filter and the
// mouse-motion detector. Both are installed by, and run their procedures on,
// a hook thread of their own on the arming thread's desktop, which does
// nothing but answer them; Arm starts it and Disarm ends it.
#pragma once

#include <windows.h>

#include "settings/settings.h"

// Called from inside the mouse hook when the cursor's travel passes the
// sensitivity; must return at once.
using AlarmCallback = long (*)();

// Exported by name from the program.
extern "C" {
// Stores the callback and installs the low-level mouse hook for the instance
// (on the hook thread, started here on the calling thread's desktop if it is
// not running). The callback runs on the hook thread.
__declspec(dllexport) void SetHook(AlarmCallback callback, HINSTANCE instance);
// Removes the mouse hook; ends the hook thread when the keyboard filter is
// not installed either.
__declspec(dllexport) void StopHook();
// Starts the travel sum again from 0 at the cursor's position now.
__declspec(dllexport) void ResetDistance();
}

// Installs each hook that is installed afresh (new first, then the old one
// removed), keeping the travel sum; the hook thread does this by itself about
// every second, so a hook Windows removed comes back. Waits for the hook
// thread; for tests and the hook benchmark.
void RenewHooks() noexcept;

// Exists while the mouse hook is installed: ResetDistance, then SetHook with
// a callback that posts the alarm start to the guard thread's alarm window.
// Destroying it removes the hook.
class MotionDetector : public MouseWatcher {
public:
    MotionDetector();
    ~MotionDetector() override;
    MotionDetector(const MotionDetector&) = delete;
    MotionDetector& operator=(const MotionDetector&) = delete;
};

// On the guard thread, in this order: opens the alarm window, starts the hook
// thread on the guard thread's desktop, installs the keyboard filter, creates
// the motion detector when the mouse-move trigger is on, sets FLAG_ARMED.
// Each step waits for the hook thread, so the hooks are in place once the
// armed bit is.
void Arm(Settings& settings);
// In this order: removes the keyboard filter, removes and destroys the motion
// detector, ends the hook thread and waits for it, clears FLAG_ARMED, closes
// the alarm window.
void Disarm(Settings& settings);
