// The low-level hooks of the armed state: the keyboard filter and the
// mouse-motion detector. Both live on a hook thread of their own on the
// arming thread's desktop, which does nothing but answer them; Arm starts it
// and Disarm ends it.
#pragma once

#include <windows.h>

#include "win32/event_log_win32.h"

struct GuardConfig;

// On the guard thread: starts the hook thread on the calling thread's desktop
// with the keyboard filter and, with the mouse-move trigger, the mouse hook,
// whose travel past the sensitivity posts WM_APP_ALARM to the guard
// dialog. Returns once both are in place; then the dialog is the target of
// PostToGuard, GuardArmed answers true and an unexpected failure in any
// callback starts the alarm. The call that failed, with its error and no
// hook thread left, when the thread could not start, reach the desktop,
// install a hook or set the timer that renews them: the guard is not armed.
// The hook thread writes no file: what fails there later is posted to the
// dialog as WM_APP_HOOK_FAILED, for LogHookThreadFailure.
[[nodiscard]] FailedCall Arm(HWND guardDialog, const GuardConfig& config);
// Ends the hook thread, its hooks with it, and waits for it; then GuardArmed
// answers false and nothing is posted to the guard any more.
void Disarm();
// On the guard thread: logs what a WM_APP_HOOK_FAILED names; a message from
// elsewhere that names no call of the hook thread logs nothing.
void LogHookThreadFailure(WPARAM call, LPARAM error) noexcept;

// Exported by name. Between Arm and Disarm, from the thread that armed; each
// waits for the hook thread to have done it.
extern "C" {
// Installs the mouse hook afresh, the travel counted from the cursor's
// position now.
__declspec(dllexport) void SetHook();
// Removes the mouse hook; the keyboard filter stays.
__declspec(dllexport) void StopHook();
// Starts the travel sum again from 0 at the cursor's position now.
__declspec(dllexport) void ResetDistance();
}

// What the hook thread does by itself every second: each hook installed
// afresh, the new one before the old one goes, the travel sum kept. For
// tests and the hook benchmark; between Arm and Disarm, never at the same
// time as one of the three above (one answer event serves them all).
void RenewHooks() noexcept;

// From any thread, never waiting: posts the message to the armed guard's
// dialog; nothing while disarmed.
void PostToGuard(UINT message, WPARAM wParam) noexcept;
