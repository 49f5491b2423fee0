// The one policy for a failure that escapes a callback: a dialog, window,
// hook or timer procedure, a WinINet status callback, a COM notification or
// a thread entry. Windows calls these, so nothing may be thrown back to it.
//
// Failures the program expects (out of memory while handling a reply, a mixer
// that will not open, a closed service) are caught and handled where they
// happen; this is the last line behind those. What escapes to it is reported,
// and while FLAG_ARMED is set it also starts the alarm: a failure never
// silences the siren and never ends the guard. The alarm start is only
// posted to the guard thread's relay, which is safe from any thread and any
// procedure; it does nothing when no guard is up, or when the siren already
// sounds. Nothing is stopped, closed or unhooked here: the guard stays as it
// is. The procedure then returns the safe result its caller names at the site:
//   - dialog procedures: FALSE, except the guard dialog: TRUE, so that no
//     default handling (a close, a session end) runs on its behalf;
//   - window procedures: 0;
//   - hook procedures: 1, the event swallowed and the next hook not called
//     (hooks run only while armed);
//   - COM notifications: S_OK; thread entries: 0; WinINet and timer
//     procedures return nothing.
#pragma once

#include <cstdint>
#include <exception>

#include "settings/settings.h"

class CallbackEdgePlatform {
public:
    virtual uint32_t Flags() noexcept = 0;
    virtual void PostAlarmStart() noexcept = 0;
    virtual void Report(const char* what) noexcept = 0;

protected:
    ~CallbackEdgePlatform() = default;
};

inline void OnCallbackFailure(CallbackEdgePlatform& platform, const char* what) noexcept
{
    platform.Report(what);
    if ((platform.Flags() & FLAG_ARMED) != 0)
        platform.PostAlarmStart();
}

// Runs body; on anything it throws, the failure policy above and safeResult.
template <class R, class F>
R RunAtCallbackEdge(CallbackEdgePlatform& platform, R safeResult, F&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& error) {
        OnCallbackFailure(platform, error.what());
    } catch (...) {
        OnCallbackFailure(platform, "an exception of unknown type");
    }
    return safeResult;
}

template <class F>
void RunAtCallbackEdge(CallbackEdgePlatform& platform, F&& body) noexcept
{
    RunAtCallbackEdge(platform, 0, [&] {
        body();
        return 0;
    });
}
