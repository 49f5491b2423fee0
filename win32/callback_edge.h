// The one policy for a failure that escapes a callback: a dialog, window or
// timer procedure, a WinINet status callback, a COM notification or a thread
// entry. Windows calls these, so nothing may be thrown back to it. (The
// low-level hook procedures call nothing that throws and need no edge.)
//
// Failures the program expects (a mixer that will not open, a closed service)
// are results, handled where they happen; only allocation throws, and where
// the program must go on after it (a reply dropped, a push message lost) it
// is caught there as std::bad_alloc. This is the last line behind those.
// What escapes to it is reported, and while a guard is armed it also starts
// the alarm: a failure never silences the siren and never ends the guard.
// The armed guard names what starts the alarm (a post to its dialog, safe
// from any thread and any procedure); with no guard armed there is none.
// Nothing is stopped, closed or unhooked here: the guard stays as it is. The
// procedure then returns the safe result its caller names at the site:
//   - dialog procedures: FALSE, except the guard dialog: TRUE, so that no
//     default handling (a close, a session end) runs on its behalf;
//   - window procedures: 0;
//   - COM notifications: S_OK; thread entries: 0; WinINet and timer
//     procedures return nothing.
#pragma once

#include <exception>

// Reports what failed and, while armed, starts the alarm.
using CallbackFailureHandler = void (*)(const char* what) noexcept;

// Runs body; on anything it throws, onFailure and safeResult.
template <class R, class F>
R RunAtCallbackEdge(CallbackFailureHandler onFailure, R safeResult, F&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& error) {
        onFailure(error.what());
    } catch (...) {
        onFailure("an exception of unknown type");
    }
    return safeResult;
}
