// AtCallbackEdge: every procedure Windows calls runs its body through this,
// so that the failure policy in app/callback_edge.h holds at every edge.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "app/callback_edge.h"
#include "app/event_log.h"
#include "guard/alarm_win32.h"
#include "settings/settings.h"

class Win32CallbackEdgePlatform final : public CallbackEdgePlatform {
public:
    uint32_t Flags() noexcept override
    {
        const Settings* settings = LoadedSettings();
        // No record to read: the guarding side is the safe one.
        return settings ? settings->flags.load() : FLAG_ARMED;
    }
    void PostAlarmStart() noexcept override { ::PostAlarmStart(AlarmCause::CallbackFailure); }
    void Report(const char* what) noexcept override
    {
        OutputDebugStringA("Kestrova: unexpected failure in a callback: ");
        OutputDebugStringA(what);
        OutputDebugStringA("\n");
        LogEvent(std::string("A failure in a callback: ") + what);
    }
};

template <class R, class F>
R AtCallbackEdge(R safeResult, F&& body) noexcept
{
    Win32CallbackEdgePlatform platform;
    return RunAtCallbackEdge(platform, safeResult, std::forward<F>(body));
}

template <class F>
void AtCallbackEdge(F&& body) noexcept
{
    Win32CallbackEdgePlatform platform;
    RunAtCallbackEdge(platform, std::forward<F>(body));
}
