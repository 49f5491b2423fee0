#include "guard/input_hooks_win32.h"

#include <new>

#include "guard/alarm_win32.h"
#include "guard/input_rules.h"

// The hook procedures do constant work and never wait: the system removes a
// low-level hook that overruns its time-out, silently, and the guard would go
// deaf. The alarm itself is started on the guard thread's message loop.

namespace {

HHOOK keyboardHook = nullptr;
HHOOK mouseHook = nullptr;
AlarmCallback alarmCallback = nullptr;
MotionState motion;

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code != HC_ACTION)
        return CallNextHookEx(keyboardHook, code, wParam, lParam);
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool ctrlDown = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    if (ShouldSwallowKey(ctrlDown, key->vkCode, (key->flags & LLKHF_ALTDOWN) != 0))
        return 1;
    return CallNextHookEx(keyboardHook, code, wParam, lParam);
}

LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION) {
        // The position before this event, as the system still reports it: a
        // move is counted at the event after it.
        POINT cursor = {};
        GetCursorPos(&cursor);
        if (StepMotion(motion, cursor.x, cursor.y, GetSettings().sensitivity.load(std::memory_order_relaxed)) &&
            alarmCallback)
            alarmCallback();
    }
    return CallNextHookEx(mouseHook, code, wParam, lParam);
}

long PostAlarm()
{
    PostAlarmStart();
    return 1;
}

}  // namespace

extern "C" void SetHook(AlarmCallback callback, HINSTANCE instance)
{
    alarmCallback = callback;
    mouseHook = SetWindowsHookExW(WH_MOUSE_LL, LowLevelMouseProc, instance, 0);
}

extern "C" void StopHook()
{
    if (mouseHook)
        UnhookWindowsHookEx(mouseHook);
    mouseHook = nullptr;
}

extern "C" void ResetDistance()
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    ResetMotion(motion, cursor.x, cursor.y);
}

MotionDetector::MotionDetector()
{
    ResetDistance();
    SetHook(PostAlarm, GetModuleHandleW(nullptr));
}

MotionDetector::~MotionDetector()
{
    StopHook();
}

void Arm(Settings& settings)
{
    OpenAlarmRelay();
    keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, LowLevelKeyboardProc, GetModuleHandleW(nullptr), 0);
    if (settings.HasFlag(FLAG_TRIGGER_MOUSE_MOVE))
        settings.mouseWatcher.reset(new (std::nothrow) MotionDetector());
    settings.SetFlag(FLAG_ARMED, true);
}

void Disarm(Settings& settings)
{
    if (keyboardHook)
        UnhookWindowsHookEx(keyboardHook);
    keyboardHook = nullptr;
    settings.mouseWatcher.reset();
    settings.SetFlag(FLAG_ARMED, false);
    CloseAlarmRelay();
}
