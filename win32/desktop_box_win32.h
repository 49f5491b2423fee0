// A message box on a desktop of the caller's choosing, shown from a thread
// of its own: a thread that has had windows on one desktop can no longer
// move to another, but a new one can. Returns when the box is closed.
#pragma once

#include <windows.h>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

struct DesktopBox {
    const wchar_t* text;
    const wchar_t* title;
    UINT flags;
    HDESK desktop;
};

inline DWORD WINAPI DesktopBoxThread(LPVOID parameter) noexcept
{
    const auto* box = static_cast<const DesktopBox*>(parameter);
    AtCallbackEdge([&] {
        LogIfFalse(SetThreadDesktop(box->desktop), "SetThreadDesktop (a box)");
        MessageBoxW(nullptr, box->text, box->title, box->flags);
    });
    return 0;
}

// Without a desktop, or without a thread, on the caller's own desktop.
inline void ShowBoxOnDesktop(const wchar_t* text, const wchar_t* title, UINT flags, HDESK desktop) noexcept
{
    DesktopBox box{text, title, flags, desktop};
    const ScopedHandle thread(desktop ? CreateThread(nullptr, 0, DesktopBoxThread, &box, 0, nullptr) : nullptr);
    if (thread)
        WaitForSingleObject(thread.Get(), INFINITE);
    else
        MessageBoxW(nullptr, text, title, flags);
}

// The program's last word: a "Fatal Error" box (on the desktop given, when
// there is one), then the process ends.
[[noreturn]] inline void FatalExit(const wchar_t* text, int exitCode, HDESK desktop = nullptr) noexcept
{
    ShowBoxOnDesktop(text, L"Fatal Error", MB_ICONERROR, desktop);
    ExitProcess(UINT(exitCode));
}
