#include "guard/guard_thread_win32.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/desktop_box_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "app/ui_resources_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_rules.h"
#include "guard/password_rules.h"
#include "guard/volume_guard_win32.h"

namespace {

// wchar_t is UTF-16 on Windows.
const wchar_t* const GUARD_DESKTOP = reinterpret_cast<const wchar_t*>(GUARD_DESKTOP_NAME);

// Guard threads started and not yet ended.
std::mutex runningLock;
std::condition_variable runningEnded;
int running = 0;

void CountGuardThread(int change)
{
    std::lock_guard<std::mutex> lock(runningLock);
    running += change;
    if (running == 0)
        runningEnded.notify_all();
}

// Set from the moment one guard thread takes the guard until it has switched
// back. The hooks and the armed state are one per process: a second guard
// would overwrite the first one's hook handle (leaking a keyboard filter past
// the unlock) and its unlock would disarm the guard still on screen.
std::atomic<bool> guardActive{false};

// From a thread other than the guard's: the guard desktop is found by its name.
void SwitchToGuardDesktopByName()
{
    const ScopedDesktop guardDesktop(OpenDesktopW(GUARD_DESKTOP, 0, FALSE, DESKTOP_SWITCHDESKTOP));
    if (!guardDesktop)
        LogFailedCall("OpenDesktopW", GetLastError());
    else if (!SwitchDesktop(guardDesktop.Get()))
        LogFailedCall("SwitchDesktop", GetLastError());
}

// Both ways: to the guard and back to the owner.
void SwitchDesktopOrLog(HDESK desktop)
{
    if (desktop && !SwitchDesktop(desktop))
        LogFailedCall("SwitchDesktop", GetLastError());
}

// Arming did not happen and nothing is left changed: the owner is told on
// their own desktop, and may lock again.
void TellArmingRefused(const char* failedCall, HDESK ownerDesktop)
{
    std::wstring text = L"Kestrova could not arm: ";
    for (const char* c = failedCall; *c; ++c)
        text.push_back(wchar_t(*c));  // a call's name is ASCII
    text += L" failed.\nNothing was changed. Press lock to try again.";
    ShowBoxOnDesktop(text.c_str(), L"Warning", MB_OK | MB_ICONWARNING | MB_TOPMOST, ownerDesktop);
}

}  // namespace

DWORD WINAPI GuardThreadMain(LPVOID parameter)
{
    const std::unique_ptr<GuardConfig> config(static_cast<GuardConfig*>(parameter));
    // An empty password is matched by an empty edit: such a guard would be
    // unlocked by Enter. The main dialog asks for one first; this is the
    // last line.
    if (PasswordIsEmpty(config->password)) {
        LogEvent("Not armed: no unlock password is set");
        return 0;
    }
    // The lock picture first, before anything changes: out of memory here
    // goes to the thread's edge with the owner's desktop still in front.
    GetUiResources();
    // A lock command while a guard is up (only reachable by leaving the
    // guard's desktop) shows that guard again instead of stacking another.
    if (guardActive.exchange(true)) {
        SwitchToGuardDesktopByName();
        return 0;
    }

    HDESK threadDesktop = GetThreadDesktop(GetCurrentThreadId());
    ScopedDesktop inputDesktop(OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP));
    if (!inputDesktop)
        LogFailedCall("OpenInputDesktop", GetLastError());
    // Without its own desktop the guard would show on the owner's, where a
    // click on the taskbar leaves it: the lock is refused instead.
    ScopedDesktop guardDesktop(CreateDesktopW(GUARD_DESKTOP, nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    const char* failedCall = !guardDesktop                         ? "CreateDesktopW"
                             : !SetThreadDesktop(guardDesktop.Get()) ? "SetThreadDesktop"
                                                                     : nullptr;
    if (failedCall) {
        LogFailedCall(failedCall, GetLastError());
        guardDesktop.Reset();
        guardActive.store(false);
        TellArmingRefused(failedCall, threadDesktop);
        return 0;
    }
    SwitchDesktopOrLog(guardDesktop.Get());

    const GuardEnd end = RunGuardDialog(*config);

    SwitchDesktopOrLog(inputDesktop.Get());
    // On the owner's desktop; the hooks are already gone.
    if (end.kind == GuardEnd::NoSound)
        SoundFatal(threadDesktop);
    if (end.kind == GuardEnd::Refused)
        TellArmingRefused(end.failedCall, threadDesktop);
    if (!SetThreadDesktop(threadDesktop))
        LogFailedCall("SetThreadDesktop (back to the owner's desktop)", GetLastError());
    // Closed after the switch back, and before another guard may start.
    guardDesktop.Reset();
    inputDesktop.Reset();
    guardActive.store(false);
    return 0;
}

namespace {

DWORD WINAPI CountedGuardThread(LPVOID parameter) noexcept
{
    const DWORD result = AtCallbackEdge(DWORD(0), [&] { return GuardThreadMain(parameter); });
    CountGuardThread(-1);
    return result;
}

}  // namespace

void StartGuardThread(const GuardConfig& config) noexcept
{
    GuardConfig* copy = new (std::nothrow) GuardConfig(config);
    if (!copy) {
        LogEvent("The guard could not start (out of memory)");
        return;
    }
    CountGuardThread(+1);  // before the thread runs: a wait right after this call already waits for it
    const ScopedHandle thread(CreateThread(nullptr, 0, CountedGuardThread, copy, 0, nullptr));
    if (!thread) {
        LogFailedCall("CreateThread (the guard thread)", GetLastError());
        delete copy;
        CountGuardThread(-1);
    }
}

bool GuardThreadsRunning() noexcept
{
    std::lock_guard<std::mutex> lock(runningLock);
    return running > 0;
}

void WaitForGuardThreads() noexcept
{
    std::unique_lock<std::mutex> lock(runningLock);
    runningEnded.wait(lock, [] { return running == 0; });
}
