// Power notices for the guard dialog: a window on a desktop of its own gets
// suspend and resume only when registered for them, and the lid switch and
// the power source and the display state only through power-setting notices. The functions come
// from user32 at run time (Windows 8 and later, Wine in part); without them
// the guard does without these notices.
#pragma once

#include <windows.h>

#include "win32/scoped_win32.h"

// While armed: the system is asked to keep running. On a Modern Standby
// laptop the screen still goes off at the lid or the power button, but the
// guard keeps running instead of being paused with the other desktop
// programs (on battery for a few minutes at most). Windows 8 and later; found
// at run time, and without it the guard goes on as before.
class RunningRequest {
public:
    RunningRequest() = default;
    RunningRequest(const RunningRequest&) = delete;
    RunningRequest& operator=(const RunningRequest&) = delete;
    ~RunningRequest() { Clear(); }

    void Hold() noexcept;
    void Clear() noexcept;

private:
    ScopedHandle request_;
};

class PowerNotices {
public:
    void Register(HWND window) noexcept;
    void Unregister() noexcept;

private:
    ScopedNotice suspendResume_;
    ScopedNotice lidSwitch_;
    ScopedNotice powerSource_;
    ScopedNotice displayState_;
};
