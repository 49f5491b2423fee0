#include "guard/input_hooks_win32.h"

#include <atomic>
#include <utility>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "guard/alarm_cause.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_thread_win32.h"
#include "guard/input_rules.h"

// The key rules build without Windows and name these keys themselves: pinned
// to the system's codes here, so a wrong copy fails the build.
static_assert(KEY_CONTROL == VK_CONTROL && KEY_MENU == VK_MENU && KEY_LEFT_WIN == VK_LWIN && KEY_RIGHT_WIN == VK_RWIN &&
                  KEY_LEFT_CONTROL == VK_LCONTROL && KEY_RIGHT_CONTROL == VK_RCONTROL && KEY_LEFT_MENU == VK_LMENU &&
                  KEY_RIGHT_MENU == VK_RMENU && KEY_VOLUME_MUTE == VK_VOLUME_MUTE &&
                  KEY_VOLUME_DOWN == VK_VOLUME_DOWN && KEY_VOLUME_UP == VK_VOLUME_UP,
              "the key rules' codes are the system's");

// Windows removes a low-level hook that overruns its time-out, silently, and
// the guard would go deaf. So both hooks live on a thread that does nothing
// else and never waits: the guard thread's slow work (the mixer at arming,
// the SMS request and the first sound at the alarm) never stands between an
// input event and its answer, and the hook procedures only decide and post.
// They do not log either: a stalled disk must not delay an answer.

namespace {

// The thread message asking the hook thread to run the HookAsk in lParam on
// its hooks; answered by setting hooks.answered.
constexpr UINT HOOK_MESSAGE_ASK = WM_APP + 1;
using HookAsk = void (*)(ScopedHook& keyboard, ScopedHook& mouse) noexcept;
// Nothing tells whether a hook Windows removed is still installed: so both
// are installed afresh at this interval.
constexpr UINT HOOK_RENEW_MS = 1000;

// The armed state, one per process (one guard at a time holds it).
struct {
    // Set by the guard thread at Arm and Disarm. The guard dialog while
    // armed, read from any thread; the hook thread and the auto-reset event
    // it answers on (its start, then each ask).
    std::atomic<HWND> window{nullptr};
    ScopedHandle thread;
    ScopedHandle answered;
    // The hook thread's own: hook procedures get no context, so they find it
    // here. Arm writes the start (desktop to sensitivity) before the thread runs.
    HDESK desktop = nullptr;
    HWND guard = nullptr;
    bool mouse = false;
    int32_t sensitivity = DEFAULT_SENSITIVITY;
    MotionState motion;
    const char* failedCall = nullptr;  // inside a hook procedure, logged at the next renewal
    DWORD failedError = 0;
} hooks;

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
    hooks.failedCall = call;
    hooks.failedError = GetLastError();
}

LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION) {
        // The position before this event, as the system still reports it: a
        // move is counted at the event after it.
        POINT cursor = {};
        if (!GetCursorPos(&cursor))
            NoteFailure("GetCursorPos (in the mouse hook)");
        else if (StepMotion(hooks.motion, cursor.x, cursor.y, hooks.sensitivity) &&
                 !PostMessageW(hooks.guard, WM_APP_ALARM, WPARAM(AlarmCause::MouseMoved), 0))
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
    if (!fresh)
        LogFailedCall(keys ? "SetWindowsHookExW (keyboard)" : "SetWindowsHookExW (mouse)", GetLastError());
    else
        hook.Reset(fresh);
    return fresh != nullptr;
}

void ResetMotionHere() noexcept
{
    POINT cursor = {};
    if (!GetCursorPos(&cursor))
        LogFailedCall("GetCursorPos", GetLastError());
    ResetMotion(hooks.motion, cursor.x, cursor.y);
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
    if (!keys || !moves)
        PostCallbackFailureAlarm();
    if (hooks.failedCall)
        LogFailedCall(std::exchange(hooks.failedCall, nullptr), hooks.failedError);
}

// A test seam, never sent by the program: removes both hooks behind their
// owners' backs, as Windows removes a hook that overran its time-out, and
// answers the asking thread; the renewal has to put them back.
void DropHooksForTest(const ScopedHook& keyboard, const ScopedHook& mouse, UINT message, DWORD asker) noexcept
{
    for (const ScopedHook* hook : {&keyboard, &mouse})
        if (*hook && !UnhookWindowsHookEx(hook->Get()))
            LogFailedCall("UnhookWindowsHookEx (the test seam)", GetLastError());
    if (!PostThreadMessageW(asker, message, 0, 0))
        LogFailedCall("PostThreadMessageW (the test seam's answer)", GetLastError());
}

// Answers its start only once the hooks are in; a start that fails ends the
// thread unanswered.
void RunHookThread(HWND guard)
{
    // Low-level hooks hear only the input of their own thread's desktop.
    if (!SetThreadDesktop(hooks.desktop))
        return LogFailedCall("SetThreadDesktop (the hook thread)", GetLastError());
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST))
        LogFailedCall("SetThreadPriority (the hook thread)", GetLastError());
    hooks.guard = guard;
    ScopedHook keyboard;
    ScopedHook mouse;
    if (!InstallHook(keyboard, WH_KEYBOARD_LL) || (hooks.mouse && !SetMouseHook(mouse)))
        return;
    if (!SetTimer(nullptr, 0, HOOK_RENEW_MS, nullptr))
        LogFailedCall("SetTimer (the hooks' renewal)", GetLastError());
    SetEvent(hooks.answered.Get());
    const UINT dropHooks = RegisterWindowMessageW(L"Kestrova test seam: drop the input hooks");
    if (dropHooks == 0)
        LogFailedCall("RegisterWindowMessageW (the test seam)", GetLastError());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER)  // the renewal's thread timer
            RenewHooksHere(keyboard, mouse);
        if (msg.message == HOOK_MESSAGE_ASK) {
            reinterpret_cast<HookAsk>(msg.lParam)(keyboard, mouse);
            SetEvent(hooks.answered.Get());
        }
        if (msg.message == dropHooks && dropHooks != 0)
            DropHooksForTest(keyboard, mouse, dropHooks, DWORD(msg.wParam));
    }
    if (hooks.failedCall)
        LogFailedCall(std::exchange(hooks.failedCall, nullptr), hooks.failedError);
}

DWORD WINAPI HookThreadMain(LPVOID guard) noexcept
{
    AtCallbackEdge([&] { RunHookThread(static_cast<HWND>(guard)); });
    return 0;
}

// Has the hook thread do it and waits until it has.
void AskHookThread(HookAsk ask) noexcept
{
    if (!hooks.thread)
        return;
    if (!PostThreadMessageW(GetThreadId(hooks.thread.Get()), HOOK_MESSAGE_ASK, 0, reinterpret_cast<LPARAM>(ask)))
        return LogFailedCall("PostThreadMessageW (to the hook thread)", GetLastError());
    const HANDLE waits[] = {hooks.answered.Get(), hooks.thread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

}  // namespace

bool Arm(HWND guardDialog, const GuardConfig& config)
{
    hooks.desktop = GetThreadDesktop(GetCurrentThreadId());
    hooks.mouse = (config.flags & FLAG_TRIGGER_MOUSE_MOVE) != 0;
    hooks.sensitivity = config.sensitivity;
    hooks.answered.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (hooks.answered)
        hooks.thread.Reset(CreateThread(nullptr, 0, HookThreadMain, guardDialog, 0, nullptr));
    if (!hooks.thread) {
        LogFailedCall(hooks.answered ? "CreateThread (the hook thread)" : "CreateEventW (the hook thread's answers)",
                      GetLastError());
        return false;
    }
    const HANDLE waits[] = {hooks.answered.Get(), hooks.thread.Get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        WaitForSingleObject(hooks.thread.Get(), INFINITE);
        hooks.thread.Reset();
        return false;
    }
    hooks.window = guardDialog;
    callbackFailureAlarm = PostCallbackFailureAlarm;
    return true;
}

void Disarm()
{
    if (hooks.thread) {
        if (!PostThreadMessageW(GetThreadId(hooks.thread.Get()), WM_QUIT, 0, 0))
            LogFailedCall("PostThreadMessageW (the hook thread's end)", GetLastError());
        WaitForSingleObject(hooks.thread.Get(), INFINITE);
        hooks.thread.Reset();
    }
    hooks.window = nullptr;
}

extern "C" void SetHook()
{
    AskHookThread([](ScopedHook&, ScopedHook& mouse) noexcept { SetMouseHook(mouse); });
}

extern "C" void StopHook()
{
    AskHookThread([](ScopedHook&, ScopedHook& mouse) noexcept { mouse.Reset(); });
}

extern "C" void ResetDistance()
{
    AskHookThread([](ScopedHook&, ScopedHook&) noexcept { ResetMotionHere(); });
}

void RenewHooks() noexcept
{
    AskHookThread(RenewHooksHere);
}

void PostToGuard(UINT message, WPARAM wParam) noexcept
{
    if (const HWND window = hooks.window; window && !PostMessageW(window, message, wParam, 0))
        LogFailedCall("PostMessageW (to the guard dialog)", GetLastError());
}

bool GuardArmed() noexcept
{
    return hooks.window != nullptr;
}

void PostCallbackFailureAlarm() noexcept
{
    PostToGuard(WM_APP_ALARM, WPARAM(AlarmCause::CallbackFailure));
}
