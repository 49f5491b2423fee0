// Power notices for the guard dialog: a window on a desktop of its own gets
// suspend and resume only when registered for them, and the lid switch and
// the power source and the display state only through power-setting notices. The functions come
// from user32 at run time (Windows 8 and later, Wine in part); without them
// the guard does without these notices.
#pragma once

#include <windows.h>

#include "win32/scoped_win32.h"

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
