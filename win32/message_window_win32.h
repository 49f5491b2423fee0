// Message-only windows, such as the service client's watchdog window. A
// window message reaches its thread even inside a modal dialog's loop, where
// a posted thread message would be lost.
#pragma once

#include <windows.h>

#include "win32/event_log_win32.h"

// A message-only window of the class (registered here) on the calling thread.
inline HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure) noexcept
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    const HWND window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window)
        LogFailedCall("CreateWindowExW (a message-only window)", GetLastError());
    return window;
}
