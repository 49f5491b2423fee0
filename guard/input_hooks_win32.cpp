#include "guard/input_hooks_win32.h"

#include <atomic>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "guard/alarm_cause.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_thread_win32.h"
#include "guard/input_rules.h"

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

// Windows removes a low-level hook that overruns its time-out, silently, and
// the guard would go deaf. So both hooks live on a thread that does nothing
// else and never waits: the guard thread's slow work (the mixer at arming,
// the SMS request and the first sound at the alarm) never stands between an
// input event and its answer, and the hook procedures only decide and post.
// They do not log either: a stalled disk must not delay an answer.

namespace {

// Thread messages to the hook thread, each answered by setting hookAnswered.
constexpr UINT HOOK_MESSAGE_SET_MOUSE = WM_APP + 1;
constexpr UINT HOOK_MESSAGE_STOP_MOUSE = WM_APP + 2;
constexpr UINT HOOK_MESSAGE_RESET_DISTANCE = WM_APP + 3;
constexpr UINT HOOK_MESSAGE_RENEW = WM_APP + 4;
// Nothing tells whether a hook Windows removed is still installed: so both
// are installed afresh at this interval.
constexpr UINT HOOK_RENEW_MS = 1000;

// The hook thread's; its procedures can reach it only here.
HWND guard = nullptr;
int32_t sensitivity = DEFAULT_SENSITIVITY;
MotionState motion;
// A call that failed inside a hook procedure, logged at the next renewal.
const char* failedCall = nullptr;
DWORD failedError = 0;

// The arming thread's: from Arm to Disarm. The event is auto-reset: one
// answer for each wait.
ScopedHandle hookThread;
ScopedHandle hookAnswered;

// From Arm to Disarm, and armed while set: the guard dialog, which the audio
// notices and the callback edge post to from any thread.
std::atomic<HWND> guardWindow{nullptr};

// The hook handle given to CallNextHookEx is ignored by Windows, so none is
// kept where the procedures could see it.
LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool ctrlDown = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        if (ShouldSwallowKey(ctrlDown, key->vkCode, (key->flags & LLKHF_ALTDOWN) != 0))
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void NoteFailure(const char* call) noexcept
{
    failedCall = call;
    failedError = GetLastError();
}

LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION) {
        // The position before this event, as the system still reports it: a
        // move is counted at the event after it.
        POINT cursor = {};
        if (!GetCursorPos(&cursor))
            NoteFailure("GetCursorPos (in the mouse hook)");
        else if (StepMotion(motion, cursor.x, cursor.y, sensitivity) &&
                 !PostMessageW(guard, WM_APP_ALARM, WPARAM(AlarmCause::MouseMoved), 0))
            NoteFailure("PostMessageW (the mouse hook's alarm)");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Installs a fresh hook; one held before goes only once the fresh one is in,
// so no event finds neither.
bool InstallHook(ScopedHook& hook, int type) noexcept
{
    const bool keys = type == WH_KEYBOARD_LL;
    const HHOOK fresh = SetWindowsHookExW(type, keys ? LowLevelKeyboardProc : LowLevelMouseProc,
                                          GetModuleHandleW(nullptr), 0);
    if (!fresh) {
        LogFailedCall(keys ? "SetWindowsHookExW (keyboard)" : "SetWindowsHookExW (mouse)", GetLastError());
        return false;
    }
    hook.Reset(fresh);
    return true;
}

void ResetMotionHere() noexcept
{
    POINT cursor = {};
    if (!GetCursorPos(&cursor))
        LogFailedCall("GetCursorPos", GetLastError());
    ResetMotion(motion, cursor.x, cursor.y);
}

bool SetMouseHook(ScopedHook& mouse) noexcept
{
    ResetMotionHere();
    return InstallHook(mouse, WH_MOUSE_LL);
}

// A hook that cannot be renewed may be gone already, leaving the guard blind
// to keys or motion: that starts the alarm.
void RenewHooksHere(ScopedHook& keyboard, ScopedHook& mouse) noexcept
{
    const bool keys = !keyboard || InstallHook(keyboard, WH_KEYBOARD_LL);
    const bool moves = !mouse || InstallHook(mouse, WH_MOUSE_LL);
    if ((!keys || !moves) && !PostMessageW(guard, WM_APP_ALARM, WPARAM(AlarmCause::CallbackFailure), 0))
        LogFailedCall("PostMessageW (to the guard dialog)", GetLastError());
    if (failedCall) {
        LogFailedCall(failedCall, failedError);
        failedCall = nullptr;
    }
}

struct HookStart {
    HDESK desktop;  // the arming thread's
    HWND guard;
    int32_t sensitivity;
    bool mouse;
    HANDLE answered;  // set once ok says whether the hooks are in place, then after each ask
    bool ok;
};

bool StartHooks(const HookStart& start, ScopedHook& keyboard, ScopedHook& mouse) noexcept
{
    // Low-level hooks hear only the input of their own thread's desktop.
    if (!SetThreadDesktop(start.desktop)) {
        LogFailedCall("SetThreadDesktop (the hook thread)", GetLastError());
        return false;
    }
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST))
        LogFailedCall("SetThreadPriority (the hook thread)", GetLastError());
    guard = start.guard;
    sensitivity = start.sensitivity;
    failedCall = nullptr;
    if (!InstallHook(keyboard, WH_KEYBOARD_LL) || (start.mouse && !SetMouseHook(mouse)))
        return false;
    if (!SetTimer(nullptr, 0, HOOK_RENEW_MS, nullptr))
        LogFailedCall("SetTimer (the hooks' renewal)", GetLastError());
    return true;
}

DWORD HookThreadMainBody(HookStart& start)
{
    ScopedHook keyboard;
    ScopedHook mouse;
    const bool ok = StartHooks(start, keyboard, mouse);
    const HANDLE answered = start.answered;
    start.ok = ok;
    SetEvent(answered);  // start is the arming thread's again
    if (!ok)
        return 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        switch (msg.message) {
        case WM_TIMER:  // the renewal's thread timer
        case HOOK_MESSAGE_RENEW:
            RenewHooksHere(keyboard, mouse);
            break;
        case HOOK_MESSAGE_SET_MOUSE:
            SetMouseHook(mouse);
            break;
        case HOOK_MESSAGE_STOP_MOUSE:
            mouse.Reset();
            break;
        case HOOK_MESSAGE_RESET_DISTANCE:
            ResetMotionHere();
            break;
        default:
            break;
        }
        if (msg.message >= HOOK_MESSAGE_SET_MOUSE && msg.message <= HOOK_MESSAGE_RENEW)
            SetEvent(answered);
    }
    if (failedCall)
        LogFailedCall(failedCall, failedError);
    return 0;
}

DWORD WINAPI HookThreadMain(LPVOID start) noexcept
{
    return AtCallbackEdge(DWORD(0), [&] { return HookThreadMainBody(*static_cast<HookStart*>(start)); });
}

// Has the hook thread handle the message and waits until it has.
void AskHookThread(UINT message) noexcept
{
    if (!hookThread)
        return;
    if (!PostThreadMessageW(GetThreadId(hookThread.Get()), message, 0, 0)) {
        LogFailedCall("PostThreadMessageW (to the hook thread)", GetLastError());
        return;
    }
    const HANDLE waits[] = {hookAnswered.Get(), hookThread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

}  // namespace

bool Arm(HWND guardDialog, const GuardConfig& config)
{
    hookAnswered.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!hookAnswered) {
        LogFailedCall("CreateEventW (the hook thread's answers)", GetLastError());
        return false;
    }
    HookStart start = {GetThreadDesktop(GetCurrentThreadId()), guardDialog, config.sensitivity,
                       (config.flags & FLAG_TRIGGER_MOUSE_MOVE) != 0, hookAnswered.Get(), false};
    hookThread.Reset(CreateThread(nullptr, 0, HookThreadMain, &start, 0, nullptr));
    if (!hookThread) {
        LogFailedCall("CreateThread (the hook thread)", GetLastError());
        return false;
    }
    // The thread ends by itself when it answers no, or fails before it can.
    const HANDLE waits[] = {hookAnswered.Get(), hookThread.Get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || !start.ok) {
        WaitForSingleObject(hookThread.Get(), INFINITE);
        hookThread.Reset();
        return false;
    }
    guardWindow = guardDialog;
    return true;
}

void Disarm()
{
    if (hookThread) {
        if (!PostThreadMessageW(GetThreadId(hookThread.Get()), WM_QUIT, 0, 0))
            LogFailedCall("PostThreadMessageW (the hook thread's end)", GetLastError());
        WaitForSingleObject(hookThread.Get(), INFINITE);
        hookThread.Reset();
    }
    guardWindow = nullptr;
}

extern "C" void SetHook()
{
    AskHookThread(HOOK_MESSAGE_SET_MOUSE);
}

extern "C" void StopHook()
{
    AskHookThread(HOOK_MESSAGE_STOP_MOUSE);
}

extern "C" void ResetDistance()
{
    AskHookThread(HOOK_MESSAGE_RESET_DISTANCE);
}

void RenewHooks() noexcept
{
    AskHookThread(HOOK_MESSAGE_RENEW);
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
    return guardWindow != nullptr;
}

void PostCallbackFailureAlarm() noexcept
{
    PostToGuard(WM_APP_ALARM, WPARAM(AlarmCause::CallbackFailure));
}
