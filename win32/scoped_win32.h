// Owners for Win32 handles and COM pointers: each closes what it holds, once,
// when it goes out of scope or is reset. Header only, in the leaf folder
// every subsystem includes from, so that no program part needs a new link.
// GDI+ owners live in win32/gdiplus_win32.h, with GDI+'s own headers.
#pragma once

#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>
#include <wininet.h>

#include <utility>

// A handle and the one call that closes it. Closer::Close(handle) is called
// for any handle other than the empty value.
template <class Handle, class Closer>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Take()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Take());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle(); }

    // Closes what is held and holds the new handle instead.
    void Reset(Handle handle = Handle()) noexcept
    {
        if (handle_ != Handle())
            Closer::Close(handle_);
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

struct DesktopCloser {
    static void Close(HDESK desktop) noexcept { CloseDesktop(desktop); }
};
struct HookCloser {
    static void Close(HHOOK hook) noexcept { UnhookWindowsHookEx(hook); }
};
struct InternetCloser {
    static void Close(HINTERNET handle) noexcept { InternetCloseHandle(handle); }
};
struct DeviceNoticeCloser {
    static void Close(HDEVNOTIFY notice) noexcept { UnregisterDeviceNotification(notice); }
};
struct KeyCloser {
    static void Close(HKEY key) noexcept { RegCloseKey(key); }
};
struct GlobalCloser {
    static void Close(HGLOBAL block) noexcept { GlobalFree(block); }
};
struct LocalCloser {
    static void Close(void* block) noexcept { LocalFree(block); }
};
struct CoTaskMemCloser {
    static void Close(void* block) noexcept { CoTaskMemFree(block); }
};
struct KernelCloser {
    static void Close(HANDLE handle) noexcept { CloseHandle(handle); }
};
struct MixerCloser {
    static void Close(HMIXER mixer) noexcept { mixerClose(mixer); }
};
struct LibraryCloser {
    static void Close(HMODULE module) noexcept { FreeLibrary(module); }
};
struct PowerSettingNoticeCloser {
    static void Close(HPOWERNOTIFY notice) noexcept { UnregisterPowerSettingNotification(notice); }
};
struct SuspendResumeNoticeCloser {
    static void Close(HPOWERNOTIFY notice) noexcept { UnregisterSuspendResumeNotification(notice); }
};
struct WinEventCloser {
    static void Close(HWINEVENTHOOK hook) noexcept { UnhookWinEvent(hook); }
};
struct ComReleaser {
    template <class Interface>
    static void Close(Interface* object) noexcept
    {
        object->Release();
    }
};

using ScopedDesktop = UniqueHandle<HDESK, DesktopCloser>;  // not for GetThreadDesktop's, which is never closed
using ScopedHook = UniqueHandle<HHOOK, HookCloser>;
using ScopedWinEvent = UniqueHandle<HWINEVENTHOOK, WinEventCloser>;
using ScopedInternet = UniqueHandle<HINTERNET, InternetCloser>;
using ScopedDeviceNotice = UniqueHandle<HDEVNOTIFY, DeviceNoticeCloser>;
using ScopedPowerSettingNotice = UniqueHandle<HPOWERNOTIFY, PowerSettingNoticeCloser>;
using ScopedSuspendResumeNotice = UniqueHandle<HPOWERNOTIFY, SuspendResumeNoticeCloser>;
using ScopedKey = UniqueHandle<HKEY, KeyCloser>;
using ScopedGlobal = UniqueHandle<HGLOBAL, GlobalCloser>;
template <class T>
using ScopedLocal = UniqueHandle<T*, LocalCloser>;
template <class T>
using ScopedCoTaskMem = UniqueHandle<T*, CoTaskMemCloser>;
using ScopedHandle = UniqueHandle<HANDLE, KernelCloser>;  // threads and events
using ScopedMixer = UniqueHandle<HMIXER, MixerCloser>;
using ScopedLibrary = UniqueHandle<HMODULE, LibraryCloser>;
template <class Interface>
using ScopedComPtr = UniqueHandle<Interface*, ComReleaser>;

// A device context from GetDC, given back to the window it came from.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;

    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// COM on the calling thread, ended only when this start succeeded: a thread
// already in another apartment (RPC_E_CHANGED_MODE) keeps its own.
class ScopedComApartment {
public:
    ScopedComApartment() noexcept = default;
    explicit ScopedComApartment(DWORD flags) noexcept { Start(flags); }
    ~ScopedComApartment() { Reset(); }
    ScopedComApartment(const ScopedComApartment&) = delete;
    ScopedComApartment& operator=(const ScopedComApartment&) = delete;

    void Start(DWORD flags) noexcept
    {
        Reset();
        started_ = SUCCEEDED(CoInitializeEx(nullptr, flags));
    }
    void Reset() noexcept
    {
        if (started_)
            CoUninitialize();
        started_ = false;
    }

private:
    bool started_ = false;
};
