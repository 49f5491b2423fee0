// kestrova.exe: the entry point and the start-up steps. "/tray" starts it
// with the notification icon and no window.
#include <windows.h>

#include <utility>

#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "app/main_dialog_win32.h"
#include "app/start_dialogs_win32.h"
#include "app/tray_win32.h"
#include "win32/ui_resources_win32.h"
#include "guard/give_back_win32.h"
#include "guard/guard_thread_win32.h"
#include "online/push_sender_win32.h"
#include "settings/notify_token_win32.h"
#include "settings/registry_store_win32.h"
#include "settings/settings_codec.h"

namespace {

// In the session's own namespace: another user's session may run its own copy.
constexpr wchar_t SESSION_MUTEX_NAME[] = L"Local\\Kestrova.Program";

int RunProgram()
{
    // The other copy may be armed: giving back its live record, or saving
    // over what it will save, would undo its guard. This one changes nothing.
    // The mutex is held until the process ends, however it ends.
    const ScopedHandle sessionMutex(CreateMutexW(nullptr, FALSE, SESSION_MUTEX_NAME));
    const DWORD error = GetLastError();  // ERROR_ALREADY_EXISTS when it opened the other copy's
    LogIfFalse(bool(sessionMutex), "CreateMutexW");
    // Denied: it exists, made by a copy we may not open. Any other failure:
    // no way to tell, and a guard that never starts is worse.
    const bool inTray = StartsInTray(GetCommandLineW());
    if (sessionMutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED) {
        ShowRunningCopy(inTray);
        return 0;
    }

    OwnerState owner;
    Settings& settings = owner.settings;
    owner.key = LoadSettings(settings, OpenSettingsKey());
    // Messages an earlier run never got through go out before any news of
    // this one, such as what an armed process that never unlocked left
    // changed on the machine.
    const PushTarget push{settings.notifyKind, settings.notifyUrl, LoadNotifyToken()};
    ResendWaitingPushes(push);
    const bool neverUnlocked = GiveBackLeftOverRecord();
    if (neverUnlocked)
        QueuePlainPush(push, GiveBackPush, "give-back");
    StartUiResources();
    // The power held, an emergency restart, the process killed: the guard
    // comes back at once, before any dialog, as if lock had been pressed, so a
    // thief who cut the power meets it again rather than the owner's desktop.
    if (neverUnlocked) {
        LogEvent("Armed again: the last guard never unlocked");
        StartGuard(owner);
    }
    // The Run value started this run, or a killed guard left it: once the
    // give-back is done and every message went, nothing is left for a later
    // start to do. Unless a guard is running by then (armed again, or by a
    // lock): its value stays until its unlock.
    WhenNoPushWaits([] {
        if (!GuardThreadsRunning())
            RemoveAutostart();
    });

    // With /tray no window shows, unless the agreement must be accepted first.
    const bool hidden = inTray && !settings.HasFlag(FLAG_AGREEMENT_PENDING);
    if (settings.HasFlag(FLAG_AGREEMENT_PENDING)) {
        RunAgreementDialog(settings);
        // Declined: nothing is saved, so the agreement is asked for again.
        if (settings.HasFlag(FLAG_AGREEMENT_PENDING))
            return 0;
        SaveOwnerSettings(owner);
    }
    // The headphone warning waits for the first showing of the main dialog.
    bool warningDue = settings.HasFlag(FLAG_SHOW_WARNING);
    OpenTray(owner, hidden);
    // Each lock from the dialog starts a guard with its own copy of the
    // settings, not kept (it ends itself at unlock), and shows the dialog
    // again; minimized, the dialog waits in the notification area.
    int shown = hidden ? MAIN_RESULT_HIDE : MAIN_RESULT_LOCK;
    while (shown != MAIN_RESULT_HIDE || WaitInTray(owner)) {
        if (std::exchange(warningDue, false)) {
            RunWarningDialog(settings);
            if (!settings.HasFlag(FLAG_SHOW_WARNING))
                SaveOwnerSettings(owner);
        }
        shown = RunMainDialog(owner);
        if (shown == MAIN_RESULT_LOCK)
            StartGuard(owner);
        else if (shown != MAIN_RESULT_HIDE)
            break;
    }
    CloseTray(owner);

    // A guard still up (the main dialog failed, or closed before the guard
    // had armed) keeps the program: it ends only after unlock.
    WaitForGuardThreads();
    SaveOwnerSettings(owner);
    if (shown == MAIN_RESULT_FAILED)
        DialogFailedExit();
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The main thread's one catch: what escapes is logged, and a guard still
    // up keeps the program until its unlock all the same.
    const int result = RunAtCallbackEdge(OnCallbackFailure, 1, RunProgram);
    WaitForGuardThreads();
    return result;
}
