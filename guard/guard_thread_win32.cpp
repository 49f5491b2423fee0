#include "guard/guard_thread_win32.h"

#include "app/ui_resources_win32.h"
#include "guard/guard_dialog_win32.h"

namespace {

constexpr wchar_t GUARD_DESKTOP_NAME[] = L"Kestrova";

}  // namespace

DWORD WINAPI GuardThreadMain(LPVOID)
{
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
    return 0;
}
