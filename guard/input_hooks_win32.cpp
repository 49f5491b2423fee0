#include "guard/input_hooks_win32.h"

#include <atomic>
#include <new>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_thread_win32.h"
#include "guard/input_rules.h"
#include "win32/message_window_win32.h"

// The key rules speak of these keys under names of their own; here they are
// pinned to the system's, so a wrong copy fails the build.
static_assert(KEY_CONTROL == VK_CONTROL, "VK_CONTROL");
static_assert(KEY_MENU == VK_MENU, "VK_MENU");
static_assert(KEY_LEFT_WIN == VK_LWIN, "VK_LWIN");
static_assert(KEY_RIGHT_WIN == VK_RWIN, "VK_RWIN");
static_assert(KEY_LEFT_CONTROL == VK_LCONTROL, "VK_LCONTROL");
static_assert(KEY_RIGHT_CONTROL == VK_RCONTROL, "VK_RCONTROL");
static_assert(KEY_LEFT_MENU == VK_LMENU, "VK_LMENU");
static_assert(KEY_RIGHT_MENU == VK_RMENU, "VK_RMENU");
static_assert(KEY_VOLUME_MUTE == VK_VOLUME_MUTE, "VK_VOLUME_MUTE");
static_assert(KEY_VOLUME_DOWN == VK_VOLUME_DOWN, "VK_VOLUME_DOWN");
static_assert(KEY_VOLUME_UP == VK_VOLUME_UP, "VK_VOLUME_UP");

// The hook procedures do constant work and never wait: the system removes a
// low-level hook that overruns its time-out, silently, and the guard would go
// deaf. So both hooks live on a thread of their own that does nothing else:
// the guard thread's slow work (the mixer and the endpoint at arming, the SMS
// request and the first sound at the alarm) never stands between an input
// event and its answer. The hook thread only posts the alarm start to the
// guard dialog. While it runs, everything the hooks keep (the handles, the
// motion state) is touched on the hook thread alone; other threads reach it
// through RunOnHookThread, which waits.

namespace {

constexpr wchar_t HOOK_WINDOW_CLASS[] = L"KestrovaHookThread";
constexpr UINT HOOK_MESSAGE_RUN = 0x8000 + 0x51;  // lParam: a HookWork
constexpr UINT_PTR HOOK_TIMER_RENEW = 1;
// Windows 7 and later remove a low-level hook that overran its time-out
// without a word, and nothing tells whether a hook is still installed: so
// both are installed afresh at this interval.
constexpr UINT HOOK_RENEW_MS = 1000;

using HookWork = void (*)() noexcept;

ScopedHook keyboardHook;
ScopedHook mouseHook;
std::atomic<AlarmCallback> alarmCallback{nullptr};
std::atomic<HINSTANCE> hookInstance{nullptr};
MotionState motion;
// The mouse trigger's sensitivity: the guard's copy, taken at arming.
std::atomic<int32_t> sensitivity{DEFAULT_SENSITIVITY};

// From Arm to Disarm: the guard dialog, which the hooks, the audio notices
// and the callback edge post to from any thread.
std::atomic<HWND> guardWindow{nullptr};
std::atomic<bool> armed{false};

// Owned by the thread that arms (StartHookThread, StopHook).
ScopedHandle hookThread;
std::atomic<HWND> hookWindow{nullptr};

LRESULT LowLevelKeyboardProcBody(int code, WPARAM wParam, LPARAM lParam)
{
    if (code != HC_ACTION)
        return CallNextHookEx(keyboardHook.Get(), code, wParam, lParam);
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool ctrlDown = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    if (ShouldSwallowKey(ctrlDown, key->vkCode, (key->flags & LLKHF_ALTDOWN) != 0))
        return 1;
    return CallNextHookEx(keyboardHook.Get(), code, wParam, lParam);
}

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    return AtCallbackEdge(LRESULT(1), [&] { return LowLevelKeyboardProcBody(code, wParam, lParam); });
}

LRESULT LowLevelMouseProcBody(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        // The position before this event, as the system still reports it: a
        // move is counted at the event after it.
        POINT cursor = {};
        GetCursorPos(&cursor);
        const AlarmCallback callback = alarmCallback;
        if (StepMotion(motion, cursor.x, cursor.y, sensitivity.load(std::memory_order_relaxed)) && callback)
            callback();
    }
    return CallNextHookEx(mouseHook.Get(), code, wParam, lParam);
}

LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    return AtCallbackEdge(LRESULT(1), [&] { return LowLevelMouseProcBody(code, wParam, lParam); });
}

// The mouse trigger's callback: straight to the guard dialog.
long PostAlarm()
{
    PostToGuard(WM_APP_ALARM, WPARAM(AlarmCause::MouseMoved));
    return 1;
}

void PostCallbackFailureAlarm() noexcept
{
    PostToGuard(WM_APP_ALARM, WPARAM(AlarmCause::CallbackFailure));
}

// What runs on the hook thread.

void InstallKeyboardFilter() noexcept
{
    keyboardHook.Reset(SetWindowsHookExW(WH_KEYBOARD_LL, LowLevelKeyboardProc, GetModuleHandleW(nullptr), 0));
    if (!keyboardHook)
        LogFailedCall("SetWindowsHookExW (keyboard)", GetLastError());
}

void RemoveKeyboardFilter() noexcept
{
    keyboardHook.Reset();
}

void InstallMouseHook() noexcept
{
    mouseHook.Reset(SetWindowsHookExW(WH_MOUSE_LL, LowLevelMouseProc, hookInstance, 0));
    if (!mouseHook)
        LogFailedCall("SetWindowsHookExW (mouse)", GetLastError());
}

void RemoveMouseHook() noexcept
{
    mouseHook.Reset();
}

// The fresh hook first, so no event finds neither; then the old one goes.
// The travel sum lives outside the hooks and is kept.
void RenewHook(ScopedHook& hook, int type, HOOKPROC procedure, HINSTANCE instance) noexcept
{
    if (!hook)
        return;
    const HHOOK fresh = SetWindowsHookExW(type, procedure, instance, 0);
    if (!fresh) {
        LogFailedCall("SetWindowsHookExW", GetLastError());
        return;  // the old one may still be there: better than none
    }
    hook.Reset(fresh);
}

void RenewHooksHere() noexcept
{
    RenewHook(keyboardHook, WH_KEYBOARD_LL, LowLevelKeyboardProc, GetModuleHandleW(nullptr));
    RenewHook(mouseHook, WH_MOUSE_LL, LowLevelMouseProc, hookInstance);
}

void ResetMotionHere() noexcept
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    ResetMotion(motion, cursor.x, cursor.y);
}

LRESULT HookWindowProcBody(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == HOOK_MESSAGE_RUN) {
        reinterpret_cast<HookWork>(lParam)();
        return 0;
    }
    if (message == WM_TIMER && wParam == HOOK_TIMER_RENEW) {
        RenewHooksHere();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

const WNDPROC HookWindowProc = ProcedureAtEdge<LRESULT, HookWindowProcBody, 0>;

struct HookThreadStart {
    HDESK desktop;
    HANDLE ready;
};

DWORD HookThreadMainBody(LPVOID parameter)
{
    const auto* start = static_cast<const HookThreadStart*>(parameter);
    // Low-level hooks hear only the input of their own thread's desktop, and
    // a thread can change desktops only before it owns a window or a hook.
    SetThreadDesktop(start->desktop);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue, for WM_QUIT
    hookWindow = CreateMessageWindow(HOOK_WINDOW_CLASS, HookWindowProc);
    if (hookWindow && !SetTimer(hookWindow, HOOK_TIMER_RENEW, HOOK_RENEW_MS, nullptr))
        LogFailedCall("SetTimer", GetLastError());
    SetEvent(start->ready);  // start is gone from here on

    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);

    RemoveKeyboardFilter();
    RemoveMouseHook();
    if (const HWND window = hookWindow.exchange(nullptr))
        DestroyWindow(window);
    return 0;
}

DWORD WINAPI HookThreadMain(LPVOID parameter) noexcept
{
    return AtCallbackEdge(DWORD(0), [&] { return HookThreadMainBody(parameter); });
}

// Starts the hook thread on the calling thread's desktop, once; returns when
// it can take work.
void StartHookThread() noexcept
{
    if (hookThread)
        return;
    const ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) {
        LogFailedCall("CreateEventW (the hook thread)", GetLastError());
        return;
    }
    HookThreadStart start = {GetThreadDesktop(GetCurrentThreadId()), ready.Get()};
    hookThread.Reset(CreateThread(nullptr, 0, HookThreadMain, &start, 0, nullptr));
    if (!hookThread) {
        LogFailedCall("CreateThread (the hook thread)", GetLastError());
        return;
    }
    const HANDLE waits[] = {ready.Get(), hookThread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

// Runs the work on the hook thread and waits for it; on the calling thread
// when there is no hook thread (it could not be started), so the guard still
// has its hooks, on the old terms.
void RunOnHookThread(HookWork work) noexcept
{
    const HWND window = hookWindow;
    if (window)
        SendMessageW(window, HOOK_MESSAGE_RUN, 0, reinterpret_cast<LPARAM>(work));
    else
        work();
}

}  // namespace

extern "C" void SetHook(AlarmCallback callback, HINSTANCE instance)
{
    alarmCallback = callback;
    hookInstance = instance;
    StartHookThread();
    RunOnHookThread(InstallMouseHook);
}

extern "C" void StopHook()
{
    RunOnHookThread(RemoveMouseHook);
    if (keyboardHook || !hookThread)
        return;
    // Nothing left for the hook thread: it ends (removing what is left of its
    // hooks), and is waited for.
    PostThreadMessageW(GetThreadId(hookThread.Get()), WM_QUIT, 0, 0);
    WaitForSingleObject(hookThread.Get(), INFINITE);
    hookThread.Reset();  // only once it has ended
}

extern "C" void ResetDistance()
{
    RunOnHookThread(ResetMotionHere);
}

void RenewHooks() noexcept
{
    RunOnHookThread(RenewHooksHere);
}

void Arm(HWND guardDialog, const GuardConfig& config)
{
    guardWindow = guardDialog;
    sensitivity = config.sensitivity;
    StartHookThread();
    RunOnHookThread(InstallKeyboardFilter);
    if (config.flags & FLAG_TRIGGER_MOUSE_MOVE) {
        ResetDistance();
        SetHook(PostAlarm, GetModuleHandleW(nullptr));
    }
    armed = true;
    SetArmedFailureAction(PostCallbackFailureAlarm);
}

void Disarm()
{
    RunOnHookThread(RemoveKeyboardFilter);
    StopHook();  // with the filter gone, the hook thread ends with the mouse hook
    armed = false;
    SetArmedFailureAction(nullptr);
    guardWindow = nullptr;
}

void PostToGuard(UINT message, WPARAM wParam) noexcept
{
    if (const HWND window = guardWindow; window && !PostMessageW(window, message, wParam, 0))
        LogFailedCall("PostMessageW (to the guard dialog)", GetLastError());
}

HWND ArmedGuardWindow() noexcept
{
    return guardWindow;
}

bool GuardArmed() noexcept
{
    return armed;
}
