// The low-level hooks of the armed state: the keyboard filter and the
// mouse-motion detector. Both are installed by, and run their procedures on,
// a hook thread of their own on the arming thread's desktop, which does
// nothing but answer them; Arm starts it and Disarm ends it.
#pragma once

#include <windows.h>

struct GuardConfig;

// Called from inside the mouse hook when the cursor's travel passes the
// sensitivity; must return at once.
using AlarmCallback = long (*)();

// Exported by name from the program.
extern "C" {
// Stores the callback and installs the low-level mouse hook for the instance
// (on the hook thread, started here on the calling thread's desktop if it is
// not running). The callback runs on the hook thread, when the travel passes
// the sensitivity the last Arm copied.
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

// On the guard thread, in this order: makes the guard dialog the target of
// PostToGuard, copies the sensitivity for the mouse hook, starts the hook
// thread on the guard thread's desktop, installs the keyboard filter, and
// with the mouse-move trigger ResetDistance and SetHook with a callback that
// posts the alarm start; then GuardArmed answers true and a failure at any
// callback starts the alarm. Each step waits for the hook thread, so the
// hooks are in place once the guard counts as armed.
void Arm(HWND guardDialog, const GuardConfig& config);
// In this order: removes the keyboard filter and the mouse hook, ends the
// hook thread and waits for it, GuardArmed answers false, nothing is posted
// to the guard any more.
void Disarm();

// From any thread: posts the message to the armed guard's dialog; nothing
// while disarmed. A failed post is logged, so the hook procedures have a
// poster of their own.
void PostToGuard(UINT message, WPARAM wParam) noexcept;
// The armed guard's dialog; null while disarmed.
HWND ArmedGuardWindow() noexcept;
