#include "guard/guard_thread_win32.h"

#include <atomic>

#include "app/ui_resources_win32.h"
#include "guard/guard_dialog_win32.h"

namespace {

constexpr wchar_t GUARD_DESKTOP_NAME[] = L"Kestrova";

// Set from the moment one guard thread takes the guard until it has switched
// back. The hooks and the armed bit are one per process: a second guard would
// overwrite the first one's hook handle (leaking a keyboard filter past the
// unlock) and its unlock would disarm the guard still on screen.
std::atomic<bool> guardActive{false};

void BringGuardDesktopToFront()
{
    HDESK guardDesktop = OpenDesktopW(GUARD_DESKTOP_NAME, 0, FALSE, DESKTOP_SWITCHDESKTOP);
    if (!guardDesktop)
        return;
    SwitchDesktop(guardDesktop);
    CloseDesktop(guardDesktop);
}

}  // namespace

DWORD WINAPI GuardThreadMain(LPVOID)
{
    // A lock command while a guard is up (only reachable by leaving the
    // guard's desktop) shows that guard again instead of stacking another.
    if (guardActive.exchange(true)) {
        BringGuardDesktopToFront();
        return 0;
    }

    // None of these results is looked at: a guard that could not switch
    // desktops still guards on the one it has.
    HDESK threadDesktop = GetThreadDesktop(GetCurrentThreadId());
    HDESK inputDesktop = OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP);
    HDESK guardDesktop = CreateDesktopW(GUARD_DESKTOP_NAME, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetThreadDesktop(guardDesktop);
    SwitchDesktop(guardDesktop);

    GetUiResources();  // the lock picture
    RunGuardDialog();

    SwitchDesktop(inputDesktop);
    SetThreadDesktop(threadDesktop);
    if (guardDesktop)
        CloseDesktop(guardDesktop);
    if (inputDesktop)
        CloseDesktop(inputDesktop);
    guardActive.store(false);
    return 0;
}
