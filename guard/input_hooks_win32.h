// The low-level hooks of the armed state: the keyboard filter and the
// mouse-motion detector. Both run their procedures on the thread that
// installed them (the guard thread), inside its message loop.
#pragma once

#include <windows.h>

#include "settings/settings.h"

// Called from inside the mouse hook when the cursor's travel passes the
// sensitivity; must return at once.
using AlarmCallback = long (*)();

// Exported by name from the program.
extern "C" {
// Stores the callback and installs the low-level mouse hook for the instance.
__declspec(dllexport) void SetHook(AlarmCallback callback, HINSTANCE instance);
// Removes the mouse hook.
__declspec(dllexport) void StopHook();
// Starts the travel sum again from 0 at the cursor's position now.
__declspec(dllexport) void ResetDistance();
}

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

// On the guard thread, in this order: opens the alarm window, installs the
// keyboard filter, creates the motion detector when the mouse-move trigger is
// on, sets FLAG_ARMED.
void Arm(Settings& settings);
// In this order: removes the keyboard filter, removes and destroys the motion
// detector, clears FLAG_ARMED, closes the alarm window.
void Disarm(Settings& settings);
