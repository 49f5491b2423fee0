#include "guard/guard_thread_win32.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "win32/callback_edge_win32.h"
#include "win32/desktop_box_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "win32/ui_resources_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_rules.h"
#include "guard/password_rules.h"
#include "guard/volume_guard_win32.h"
#include "resource_ids.h"

namespace {

// wchar_t is UTF-16 on Windows.
const wchar_t* const GUARD_DESKTOP = reinterpret_cast<const wchar_t*>(GUARD_DESKTOP_NAME);

// The guard threads, one record for the process.
struct {
    // Started and not yet ended, under the lock.
    std::mutex lock;
    std::condition_variable ended;
    int running = 0;
    // Set from the moment one guard thread takes the guard until it has
    // switched back. The hooks and the armed state are one per process: a
    // second guard would overwrite the first one's hook handle (leaking a
    // keyboard filter past the unlock) and its unlock would disarm the guard
    // still on screen.
    std::atomic<bool> active{false};
} guards;

void CountGuardThread(int change)
{
    std::lock_guard<std::mutex> lock(guards.lock);
    guards.running += change;
    if (guards.running == 0)
        guards.ended.notify_all();
}

// Both ways: to the guard and back to the owner.
void SwitchDesktopOrLog(HDESK desktop)
{
    if (desktop && !SwitchDesktop(desktop))
        LogFailedCall("SwitchDesktop", GetLastError());
}

void RunGuard(const GuardConfig& config)
{
    // An empty password is matched by an empty edit: such a guard would be
    // unlocked by Enter. The main dialog asks for one first; this is the
    // last line.
    if (PasswordIsEmpty(config.password))
        return LogEvent("Not armed: no unlock password is set");
    // A lock command while a guard is up (only reachable by leaving the
    // guard's desktop) shows that guard again, found by its name, instead of
    // stacking another.
    if (guards.active.exchange(true)) {
        const ScopedDesktop shown(OpenDesktopW(GUARD_DESKTOP, 0, FALSE, DESKTOP_SWITCHDESKTOP));
        if (!shown)
            LogFailedCall("OpenDesktopW", GetLastError());
        return SwitchDesktopOrLog(shown.Get());
    }

    // Decoded before the desktop changes, so the guard's shows at once.
    const Picture lockPicture = LoadPicture(IDR_LOCK_PICTURE);
    const HDESK ownerDesktop = GetThreadDesktop(GetCurrentThreadId());
    ScopedDesktop inputDesktop(OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP));
    if (!inputDesktop)
        LogFailedCall("OpenInputDesktop", GetLastError());
    // Without its own desktop the guard would show on the owner's, where a
    // click on the taskbar leaves it: the lock is refused instead.
    ScopedDesktop guardDesktop(CreateDesktopW(GUARD_DESKTOP, nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    const char* failedCall = !guardDesktop                         ? "CreateDesktopW"
                             : !SetThreadDesktop(guardDesktop.Get()) ? "SetThreadDesktop"
                                                                     : nullptr;
    if (failedCall)
        LogFailedCall(failedCall, GetLastError());
    else
        SwitchDesktopOrLog(guardDesktop.Get());

    const GuardEnd end = failedCall ? GuardEnd{GuardEnd::Refused, failedCall} : RunGuardDialog(config, lockPicture);

    SwitchDesktopOrLog(inputDesktop.Get());
    if (!SetThreadDesktop(ownerDesktop))
        LogFailedCall("SetThreadDesktop (back to the owner's desktop)", GetLastError());
    // Closed after the switch back, and before another guard may start.
    guardDesktop.Reset();
    inputDesktop.Reset();
    guards.active = false;
    // On the owner's desktop; the hooks are already gone.
    if (end.kind == GuardEnd::NoSound)
        SoundFatal(ownerDesktop);
    if (end.kind == GuardEnd::Refused) {
        // Arming did not happen and nothing is left changed: the owner may
        // lock again.
        const std::string_view call = end.failedCall;  // ASCII
        const std::wstring text = L"Kestrova could not arm: " + std::wstring(call.begin(), call.end()) +
                                  L" failed.\nNothing was changed. Press lock to try again.";
        ShowBoxOnDesktop(text.c_str(), L"Warning", MB_OK | MB_ICONWARNING | MB_TOPMOST, ownerDesktop);
    }
}

DWORD WINAPI GuardThreadMain(LPVOID parameter) noexcept
{
    const std::unique_ptr<GuardConfig> config(static_cast<GuardConfig*>(parameter));
    AtCallbackEdge([&] { RunGuard(*config); });
    CountGuardThread(-1);
    return 0;
}

}  // namespace

void StartGuardThread(const GuardConfig& config) noexcept
{
    GuardConfig* copy = new (std::nothrow) GuardConfig(config);
    if (!copy)
        return LogEvent("The guard could not start (out of memory)");
    CountGuardThread(+1);  // before the thread runs: a wait right after this call already waits for it
    const ScopedHandle thread(CreateThread(nullptr, 0, GuardThreadMain, copy, 0, nullptr));
    if (!thread) {
        LogFailedCall("CreateThread (the guard thread)", GetLastError());
        delete copy;
        CountGuardThread(-1);
    }
}

bool GuardThreadsRunning() noexcept
{
    std::lock_guard<std::mutex> lock(guards.lock);
    return guards.running > 0;
}

void WaitForGuardThreads() noexcept
{
    std::unique_lock<std::mutex> lock(guards.lock);
    guards.ended.wait(lock, [] { return guards.running == 0; });
}
