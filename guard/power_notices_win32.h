// Power notices for the guard dialog: a window on a desktop of its own gets
// suspend and resume only when registered for them, and the lid switch and
// the power source only through power-setting notices. The functions come
// from user32 at run time (Windows 8 and later, Wine in part); without them
// the guard does without these notices.
#pragma once

#include <windows.h>

class PowerNotices {
public:
    PowerNotices() = default;
    ~PowerNotices() { Unregister(); }
    PowerNotices(const PowerNotices&) = delete;
    PowerNotices& operator=(const PowerNotices&) = delete;

    void Register(HWND window) noexcept;
    void Unregister() noexcept;

private:
    HANDLE suspendResume_ = nullptr;
    HANDLE lidSwitch_ = nullptr;
    HANDLE powerSource_ = nullptr;
};
