#include "guard/guard_thread_win32.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

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

// Back to the owner, and to a guard already up.
void SwitchDesktopOrLog(HDESK desktop)
{
    if (desktop)
        LogIfFalse(SwitchDesktop(desktop), "SwitchDesktop");
}

void RunGuard(const GuardConfig& config)
{
    // An empty password is matched by an empty edit: such a guard would be
    // unlocked by Enter. The main dialog asks for one first; this is the
    // last line.
    if (PasswordIsEmpty(config.password))
        return LogEvent("Not armed: no unlock password is set");
    if (!UntypableAtGuard(config.password).empty())
        return LogEvent("Not armed: the unlock password has characters the guard cannot take");
    // A lock command while a guard is up (only reachable by leaving the
    // guard's desktop) shows that guard again, found by its name, instead of
    // stacking another.
    if (guards.active.exchange(true)) {
        const ScopedDesktop shown(OpenDesktopW(GUARD_DESKTOP, 0, FALSE, DESKTOP_SWITCHDESKTOP));
        LogIfFalse(bool(shown), "OpenDesktopW");
        return SwitchDesktopOrLog(shown.Get());
    }

    // Decoded before the desktop changes, so the guard's shows at once.
    const Picture lockPicture = LoadPicture(IDR_LOCK_PICTURE);
    const HDESK ownerDesktop = GetThreadDesktop(GetCurrentThreadId());
    ScopedDesktop inputDesktop(OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP));
    LogIfFalse(bool(inputDesktop), "OpenInputDesktop");
    // Without its own desktop, or with it unseen, the guard would leave the
    // owner's usable (a click on the taskbar leaves it): the lock is refused.
    ScopedDesktop guardDesktop(CreateDesktopW(GUARD_DESKTOP, nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    FailedCall failed = FailureIfFalse(bool(guardDesktop), "CreateDesktopW");
    if (!failed)
        failed = FailureIfFalse(SetThreadDesktop(guardDesktop.Get()), "SetThreadDesktop");
    if (!failed)
        failed = FailureIfFalse(SwitchDesktop(guardDesktop.Get()), "SwitchDesktop");
    LogFailedCall(failed);

    const GuardEnd end = failed ? GuardEnd{GuardEnd::Refused, failed} : RunGuardDialog(config, lockPicture);

    SwitchDesktopOrLog(inputDesktop.Get());
    LogIfFalse(SetThreadDesktop(ownerDesktop), "SetThreadDesktop (back to the owner's desktop)");
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
        const std::string_view call = end.failed.call;  // ASCII
        const std::wstring text = L"Kestrova could not arm: " + std::wstring(call.begin(), call.end()) +
                                  L" failed (error " + std::to_wstring(end.failed.error) +
                                  L").\nNothing was changed. Press lock to try again.";
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
    if (!LogIfFalse(bool(thread), "CreateThread (the guard thread)")) {
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

std::u16string UntypableAtGuard(std::u16string_view password)
{
    const HKL layout = GetKeyboardLayout(0);
    std::vector<int16_t> scans;
    for (const char16_t unit : password)
        scans.push_back(VkKeyScanExW(wchar_t(unit), layout));
    return UntypableAtGuard(password, scans);
}

bool RefuseUntypablePassword(HWND owner, std::u16string_view password)
{
    const std::u16string untypable = UntypableAtGuard(password);
    if (untypable.empty())
        return false;
    const std::wstring text = L"The guard cannot take these characters of the unlock password: " +
                              std::wstring(untypable.begin(), untypable.end()) +
                              L"\n\nIt takes what this keyboard types with Shift at most: no input method, no AltGr.";
    MessageBoxW(owner, text.c_str(), L"Warning", MB_OK | MB_ICONWARNING);
    return true;
}
