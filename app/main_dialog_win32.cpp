#include "app/main_dialog_win32.h"

#include <windows.h>

#include "app/account_indicator_win32.h"
#include "win32/callback_edge_win32.h"
#include "app/main_dialog_rules.h"
#include "app/startup.h"
#include "app/ui_resources_win32.h"
#include "guard/guard_thread_win32.h"
#include "online/service_calls_win32.h"
#include "online/web_page_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "settings/settings_dialog_win32.h"

static_assert(MAIN_COMMAND_CLOSE == IDCANCEL, "the close command is IDCANCEL");

namespace {

void ShowTriggerFlags(HWND dialog, uint32_t flags)
{
    for (const TriggerCheckBox& box : TRIGGER_CHECK_BOXES)
        CheckDlgButton(dialog, box.controlId, (flags & box.flag) ? BST_CHECKED : BST_UNCHECKED);
}

void TakeTriggerFlags(HWND dialog)
{
    bool ticked[4];
    for (int i = 0; i < 4; ++i)
        ticked[i] = IsDlgButtonChecked(dialog, TRIGGER_CHECK_BOXES[i].controlId) == BST_CHECKED;
    Settings& settings = GetSettings();
    uint32_t flags = settings.flags.load();
    while (!settings.flags.compare_exchange_weak(flags, FlagsFromCheckBoxes(flags, ticked))) {
    }
}

bool UserAcceptsLockWithoutLogin(HWND dialog)
{
    return MessageBoxA(dialog,
                       "You're not logged in. You won't get a SMS warning when the alarm is triggered.\n"
                       "Are you sure you want to continue?",
                       "Warning", MB_YESNO | MB_ICONWARNING) == IDYES;
}

void InitMainDialog(HWND dialog)
{
    GetUiResources().mainWindow = dialog;
    Settings& settings = GetSettings();
    ShowTriggerFlags(dialog, settings.flags);
    if (settings.HasFlag(FLAG_SMS_SERVICE)) {
        OpenServiceSession();
        StartAccountCheck();
    }
    OpenServiceSession();
    CheckForUpdate();
}

INT_PTR MainDialogProcBody(HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitMainDialog(dialog);
        // FALSE: the dialog manager sets no focus, and neither does this.
        return FALSE;
    case WM_COMMAND:
        // While armed, ending the program would silence the siren, and the
        // settings would change the password the guard compares.
        if (RefusedWhileArmed(LOWORD(wParam), GetSettings().flags | (GuardArmed() ? FLAG_ARMED : 0u)))
            return TRUE;
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            TakeTriggerFlags(dialog);
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_MAIN_LOCK: {
            TakeTriggerFlags(dialog);
            Settings& settings = GetSettings();
            if (LockNeedsLoginQuestion(settings.flags, settings.loggedIn) && !UserAcceptsLockWithoutLogin(dialog))
                return TRUE;
            EndDialog(dialog, MAIN_RESULT_LOCK);
            return TRUE;
        }
        case IDC_MAIN_SETTINGS:
            GetUiResources();
            RunSettingsDialog(dialog);
            return TRUE;
        case IDC_MAIN_SIGN_UP:
            OpenSignUpPage(GetSettings().serviceUrl);
            return TRUE;
        }
        break;
    case WM_ENDSESSION: {
        const SessionEndSteps steps = StepsAtSessionEnd(wParam != FALSE, GetSettings().flags | (GuardArmed() ? FLAG_ARMED : 0u));
        if (steps.save) {
            TakeTriggerFlags(dialog);
            SaveSettingsAtSessionEnd(GetSettings());
        }
        if (steps.endDialog)
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    case MAIN_MESSAGE_SHOW_BALANCE:
        ShowPostedBalance(dialog, wParam);
        return TRUE;
    case WM_DESTROY:
        // Network replies that come in while no main dialog is open touch
        // no window.
        GetUiResources().mainWindow.compare_exchange_strong(dialog, nullptr);
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) noexcept
{
    return AtCallbackEdge(INT_PTR(FALSE), [&] { return MainDialogProcBody(dialog, message, wParam); });
}

}  // namespace

int RunMainDialog()
{
    return int(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0));
}
