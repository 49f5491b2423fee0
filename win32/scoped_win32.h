// Owners for Win32 handles and COM pointers: each closes what it holds, once,
// when it goes out of scope or is reset. Header only, in the leaf folder
// every subsystem includes from, so that no program part needs a new link.
// GDI+ owners live in win32/ui_resources_win32.h, with GDI+'s own headers; WinINet's
// and WinHTTP's in the one file that uses each, as their headers do not mix.
#pragma once

#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>

#include <utility>

// A handle and the one call that closes it: Close(handle) for any handle
// other than the empty value. Moving hands the handle on; copying is refused.
template <class Handle, auto Close>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Take()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        Reset(other.Take());  // a move to itself takes, then holds again
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle(); }

    // Closes what is held and holds the new handle instead.
    void Reset(Handle handle = Handle()) noexcept
    {
        if (handle_ != Handle())
            Close(handle_);
        handle_ = handle;
    }

    // Gives the handle up without closing it.
    Handle Take() noexcept { return std::exchange(handle_, Handle()); }

    // For calls that hand back their handle through a pointer: closes what is
    // held first.
    Handle* Receive() noexcept
    {
        Reset();
        return &handle_;
    }

private:
    Handle handle_ = Handle();
};

template <class Interface>
void ReleaseCom(Interface* object) noexcept
{
    object->Release();
}

using ScopedDesktop = UniqueHandle<HDESK, CloseDesktop>;  // not for GetThreadDesktop's, which is never closed
using ScopedHook = UniqueHandle<HHOOK, UnhookWindowsHookEx>;
using ScopedWinEvent = UniqueHandle<HWINEVENTHOOK, UnhookWinEvent>;
using ScopedDeviceNotice = UniqueHandle<HDEVNOTIFY, UnregisterDeviceNotification>;
using ScopedPowerSettingNotice = UniqueHandle<HPOWERNOTIFY, UnregisterPowerSettingNotification>;
using ScopedSuspendResumeNotice = UniqueHandle<HPOWERNOTIFY, UnregisterSuspendResumeNotification>;
using ScopedKey = UniqueHandle<HKEY, RegCloseKey>;
template <class T>
using ScopedLocal = UniqueHandle<T*, LocalFree>;
template <class T>
using ScopedCoTaskMem = UniqueHandle<T*, CoTaskMemFree>;
using ScopedHandle = UniqueHandle<HANDLE, CloseHandle>;  // threads and events
using ScopedMixer = UniqueHandle<HMIXER, mixerClose>;
using ScopedLibrary = UniqueHandle<HMODULE, FreeLibrary>;
using ScopedMenu = UniqueHandle<HMENU, DestroyMenu>;
template <class Interface>
using ScopedComPtr = UniqueHandle<Interface*, ReleaseCom<Interface>>;

// COM on the calling thread, ended only when this start succeeded: a thread
// already in another apartment (RPC_E_CHANGED_MODE) keeps its own.
// What it holds is whether the start succeeded.
inline void EndComApartment(bool) noexcept
{
    CoUninitialize();
}
using ScopedComApartment = UniqueHandle<bool, EndComApartment>;
inline ScopedComApartment StartComApartment(DWORD flags) noexcept
{
    return ScopedComApartment(SUCCEEDED(CoInitializeEx(nullptr, flags)));
}
