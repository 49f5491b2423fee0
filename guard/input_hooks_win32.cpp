#include "guard/input_hooks_win32.h"

#include <atomic>
#include <cstring>
#include <iterator>
#include <utility>

#include "win32/callback_edge_win32.h"
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
// Nor does the hook thread log: a stalled disk must not delay an answer, so
// what fails there is posted to the guard dialog, which logs it.

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
    // A failed start, read by Arm once the thread ended; one inside a hook
    // procedure, posted at the next renewal.
    FailedCall failed;
} hooks;

// What the hook thread reports, by number: a message from another process
// could carry any number, and only these are read.
const char* const HOOK_THREAD_CALLS[] = {"SetThreadPriority (the hook thread)", "SetWindowsHookExW (keyboard)",
    "SetWindowsHookExW (mouse)", "GetCursorPos", "GetCursorPos (in the mouse hook)",
    "PostMessageW (the mouse hook's alarm)", "UnhookWindowsHookEx (the test seam)",
    "PostThreadMessageW (the test seam's answer)", "RegisterWindowMessageW (the test seam)"};

// Nothing is left to report a failed post to.
void Report(const FailedCall& failed) noexcept
{
    for (WPARAM i = 0; failed && i < std::size(HOOK_THREAD_CALLS); ++i)
        if (std::strcmp(failed.call, HOOK_THREAD_CALLS[i]) == 0)
            PostMessageW(hooks.guard, WM_APP_HOOK_FAILED, i, LPARAM(failed.error));
}

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

LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION) {
        // The position before this event, as the system still reports it: a
        // move is counted at the event after it.
        POINT cursor = {};
        FailedCall failed = FailureIfFalse(GetCursorPos(&cursor), "GetCursorPos (in the mouse hook)");
        if (!failed && StepMotion(hooks.motion, cursor.x, cursor.y, hooks.sensitivity))
            failed = FailureIfFalse(PostMessageW(hooks.guard, WM_APP_ALARM, WPARAM(AlarmCause::MouseMoved), 0),
                                    "PostMessageW (the mouse hook's alarm)");
        if (failed)
            hooks.failed = failed;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Installs a fresh hook; one held before goes only once the fresh one is in,
// so no event finds neither.
FailedCall InstallHook(ScopedHook& hook, int type) noexcept
{
    const bool keys = type == WH_KEYBOARD_LL;
    const HHOOK fresh = SetWindowsHookExW(type, keys ? LowLevelKeyboardProc : LowLevelMouseProc,
                                          GetModuleHandleW(nullptr), 0);
    const FailedCall failed = FailureIfFalse(fresh != nullptr, keys ? HOOK_THREAD_CALLS[1] : HOOK_THREAD_CALLS[2]);
    if (fresh)
        hook.Reset(fresh);
    return failed;
}

void ResetMotionHere() noexcept
{
    POINT cursor = {};
    Report(FailureIfFalse(GetCursorPos(&cursor), "GetCursorPos"));
    ResetMotion(hooks.motion, cursor.x, cursor.y);
}

FailedCall SetMouseHook(ScopedHook& mouse) noexcept
{
    ResetMotionHere();
    return InstallHook(mouse, WH_MOUSE_LL);
}

// A hook that cannot be renewed may be gone already, leaving the guard blind
// to keys or motion: that starts the alarm.
void RenewHooksHere(ScopedHook& keyboard, ScopedHook& mouse) noexcept
{
    const FailedCall keys = keyboard ? InstallHook(keyboard, WH_KEYBOARD_LL) : FailedCall{};
    const FailedCall moves = mouse ? InstallHook(mouse, WH_MOUSE_LL) : FailedCall{};
    if (keys || moves)
        PostMessageW(hooks.guard, WM_APP_ALARM, WPARAM(AlarmCause::CallbackFailure), 0);
    Report(keys);
    Report(moves);
    Report(std::exchange(hooks.failed, {}));
}

// A test seam, never sent by the program: removes both hooks behind their
// owners' backs, as Windows removes a hook that overran its time-out, and
// answers the asking thread; the renewal has to put them back.
void DropHooksForTest(const ScopedHook& keyboard, const ScopedHook& mouse, UINT message, DWORD asker) noexcept
{
    for (const ScopedHook* hook : {&keyboard, &mouse})
        if (*hook)
            Report(FailureIfFalse(UnhookWindowsHookEx(hook->Get()), "UnhookWindowsHookEx (the test seam)"));
    Report(FailureIfFalse(PostThreadMessageW(asker, message, 0, 0), "PostThreadMessageW (the test seam's answer)"));
}

// Answers its start only once the hooks are in; a start that fails ends the
// thread unanswered, the failure in hooks.failed.
void RunHookThread(HWND guard)
{
    hooks.guard = guard;
    ScopedHook keyboard;
    ScopedHook mouse;
    // Low-level hooks hear only the input of their own thread's desktop.
    // Hooks that are not renewed may go within seconds (Windows removes one
    // that overran its time-out), so no timer is no guard either.
    if ((hooks.failed = FailureIfFalse(SetThreadDesktop(hooks.desktop), "SetThreadDesktop (the hook thread)")) ||
        (hooks.failed = InstallHook(keyboard, WH_KEYBOARD_LL)) ||
        (hooks.mouse && (hooks.failed = SetMouseHook(mouse))) ||
        (hooks.failed = FailureIfFalse(SetTimer(nullptr, 0, HOOK_RENEW_MS, nullptr), "SetTimer (the hooks' renewal)")))
        return;
    Report(FailureIfFalse(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST), HOOK_THREAD_CALLS[0]));
    SetEvent(hooks.answered.Get());
    const UINT dropHooks = RegisterWindowMessageW(L"Kestrova test seam: drop the input hooks");
    Report(FailureIfFalse(dropHooks != 0, "RegisterWindowMessageW (the test seam)"));
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
}

DWORD WINAPI HookThreadMain(LPVOID guard) noexcept
{
    AtCallbackEdge([&] { RunHookThread(static_cast<HWND>(guard)); });
    return 0;
}

// Has the hook thread do it and waits until it has.
void AskHookThread(HookAsk ask) noexcept
{
    if (!hooks.thread ||
        !LogIfFalse(PostThreadMessageW(GetThreadId(hooks.thread.Get()), HOOK_MESSAGE_ASK, 0,
                                       reinterpret_cast<LPARAM>(ask)), "PostThreadMessageW (to the hook thread)"))
        return;
    const HANDLE waits[] = {hooks.answered.Get(), hooks.thread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

// The alarm for a failure at a callback's edge, which Arm registers.
void PostCallbackFailureAlarm() noexcept
{
    PostToGuard(WM_APP_ALARM, WPARAM(AlarmCause::CallbackFailure));
}

}  // namespace

FailedCall Arm(HWND guardDialog, const GuardConfig& config)
{
    hooks.desktop = GetThreadDesktop(GetCurrentThreadId());
    hooks.mouse = (config.flags & FLAG_TRIGGER_MOUSE_MOVE) != 0;
    hooks.sensitivity = config.sensitivity;
    hooks.failed = {};
    hooks.answered.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!hooks.answered)
        return FailureIfFalse(false, "CreateEventW (the hook thread's answers)");
    hooks.thread.Reset(CreateThread(nullptr, 0, HookThreadMain, guardDialog, 0, nullptr));
    if (!hooks.thread)
        return FailureIfFalse(false, "CreateThread (the hook thread)");
    const HANDLE waits[] = {hooks.answered.Get(), hooks.thread.Get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        WaitForSingleObject(hooks.thread.Get(), INFINITE);
        hooks.thread.Reset();
        // Ended by a throw at its edge (logged there) when it names no call.
        return hooks.failed ? hooks.failed : FailedCall{"the hook thread", ERROR_INTERNAL_ERROR};
    }
    hooks.window = guardDialog;
    callbackFailureAlarm = PostCallbackFailureAlarm;
    return {};
}

void Disarm()
{
    if (hooks.thread) {
        LogIfFalse(PostThreadMessageW(GetThreadId(hooks.thread.Get()), WM_QUIT, 0, 0),
                   "PostThreadMessageW (the hook thread's end)");
        WaitForSingleObject(hooks.thread.Get(), INFINITE);
        hooks.thread.Reset();
        // Noted in a hook procedure since the last renewal.
        LogFailedCall(std::exchange(hooks.failed, {}));
    }
    hooks.window = nullptr;
}

void LogHookThreadFailure(WPARAM call, LPARAM error) noexcept
{
    if (call < std::size(HOOK_THREAD_CALLS))
        LogFailedCall(HOOK_THREAD_CALLS[call], DWORD(error));
}

extern "C" void SetHook()
{
    AskHookThread([](ScopedHook&, ScopedHook& mouse) noexcept { Report(SetMouseHook(mouse)); });
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
    if (const HWND window = hooks.window)
        LogIfFalse(PostMessageW(window, message, wParam, 0), "PostMessageW (to the guard dialog)");
}

bool GuardArmed() noexcept
{
    return hooks.window != nullptr;
}
