// AtCallbackEdge: every procedure Windows calls runs its body through this,
// so that the failure policy in win32/callback_edge.h holds at every edge.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "win32/callback_edge.h"
#include "win32/event_log.h"

// What starts the armed guard's alarm, never waiting: registered by the
// guard's Arm (guard/input_hooks_win32.cpp), and it posts nothing while no
// guard is armed. None before the first arming.
inline std::atomic<void (*)() noexcept> callbackFailureAlarm{nullptr};

// The alarm is posted before the line is logged: the log waits on the disk.
// The low-level hook procedures, which must never wait, have a handler of
// their own (guard/input_hooks_win32.cpp).
inline void OnCallbackFailure(const char* what) noexcept
{
    OutputDebugStringA("Kestrova: unexpected failure in a callback: ");
    OutputDebugStringA(what);
    OutputDebugStringA("\n");
    if (const auto alarm = callbackFailureAlarm.load())
        alarm();
    char line[LOG_TEXT_LIMIT];  // no allocation: this may follow a failed one
    std::snprintf(line, sizeof line, "A failure in a callback: %s", what);
    LogEvent(line);
}

template <class F>
void AtCallbackEdge(F&& body) noexcept
{
    RunAtCallbackEdge(OnCallbackFailure, 0, [&] {
        body();
        return 0;
    });
}

// A dialog or window procedure whose body runs at the edge: what Windows
// calls, returning the safe result its kind names (dialogs FALSE, the guard
// dialog TRUE, windows 0). The same one catch: the lambda is inlined, so a
// message on its way to the siren passes no more calls than it must.
template <class R, R (*Body)(HWND, UINT, WPARAM, LPARAM), R SafeResult>
R CALLBACK ProcedureAtEdge(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return RunAtCallbackEdge(OnCallbackFailure, SafeResult, [&] { return Body(window, message, wParam, lParam); });
}
