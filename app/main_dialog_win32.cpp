#include "app/main_dialog_win32.h"

#include <windows.h>

#include "win32/callback_edge_win32.h"
#include "app/main_dialog_rules.h"
#include "guard/guard_thread_win32.h"
#include "guard/password_rules.h"
#include "online/service_calls_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "settings/service_url.h"
#include "app/settings_dialog_win32.h"
#include "win32/web_page_win32.h"

static_assert(MAIN_COMMAND_CLOSE == IDCANCEL, "the close command is IDCANCEL");

namespace {

void TakeTriggerFlags(HWND dialog, Settings& settings)
{
    bool ticked[4];
    for (int i = 0; i < 4; ++i)
        ticked[i] = IsDlgButtonChecked(dialog, TRIGGER_CHECK_BOXES[i].controlId) == BST_CHECKED;
    settings.flags = FlagsFromCheckBoxes(settings.flags, ticked);
}

// The settings dialog over the main one: what OK stored is saved at once,
// and a changed SMS account logs in again.
void ChangeSettings(HWND dialog, OwnerState& owner)
{
    const INT_PTR stored = RunSettingsDialog(dialog, owner.settings);
    if (stored == IDOK || stored == SETTINGS_RESULT_LOGIN)
        SaveOwnerSettings(owner);
    if (stored == SETTINGS_RESULT_LOGIN)
        StartAccountCheck(ServiceAccountOf(owner.settings));
}

INT_PTR MainDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Settings& settings = reinterpret_cast<OwnerState*>(lParam)->settings;
        for (const TriggerCheckBox& box : TRIGGER_CHECK_BOXES)
            CheckDlgButton(dialog, box.controlId, settings.HasFlag(box.flag) ? BST_CHECKED : BST_UNCHECKED);
        OpenServiceSession(dialog, GetDlgItem(dialog, IDC_MAIN_PROGRESS));
        if (settings.HasFlag(FLAG_SMS_SERVICE))
            StartAccountCheck(ServiceAccountOf(settings));
        CheckForUpdate(settings);
        // FALSE: the dialog manager sets no focus, and neither does this.
        return FALSE;
    }
    auto* owner = reinterpret_cast<OwnerState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!owner)
        return FALSE;  // before WM_INITDIALOG
    Settings& settings = owner->settings;
    switch (message) {
    case WM_COMMAND:
        // While armed, ending the program would silence the siren, and the
        // settings would change the password the guard compares.
        if (RefusedWhileArmed(LOWORD(wParam), GuardArmed()))
            return TRUE;
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            TakeTriggerFlags(dialog, settings);
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_MAIN_LOCK:
            TakeTriggerFlags(dialog, settings);
            SaveOwnerSettings(*owner);
            // Enter unlocks a guard with no password: nothing arms until one
            // is set, and the owner then presses lock again.
            if (PasswordIsEmpty(settings.GetPassword())) {
                MessageBoxA(dialog,
                            "Set an unlock password first.\nWithout one, anybody could unlock the guard with Enter.",
                            "Warning", MB_OK | MB_ICONWARNING);
                ChangeSettings(dialog, *owner);
                return TRUE;
            }
            // Nor with one the guard's box cannot take (set by hand, or by
            // an older version): the box names what it cannot.
            if (RefuseUntypablePassword(dialog, settings.GetPassword())) {
                ChangeSettings(dialog, *owner);
                return TRUE;
            }
            if (LockNeedsLoginQuestion(settings.flags, owner->loggedIn) &&
                MessageBoxA(dialog,
                            "You're not logged in. You won't get a SMS warning when the alarm is triggered.\n"
                            "Are you sure you want to continue?",
                            "Warning", MB_YESNO | MB_ICONWARNING) != IDYES)
                return TRUE;
            EndDialog(dialog, MAIN_RESULT_LOCK);
            return TRUE;
        case IDC_MAIN_SETTINGS:
            ChangeSettings(dialog, *owner);
            return TRUE;
        case IDC_MAIN_SIGN_UP:
            RunOnStaThread(OpenInBrowser, SignUpPageUrl(settings.serviceUrl));
            return TRUE;
        }
        break;
    case WM_ENDSESSION:
        // FALSE: another window refused, or the query was answered no.
        if (wParam == FALSE)
            return TRUE;
        // The process may be ended as soon as this returns: the boxes are
        // read back and saved here. While armed the dialog stays: the guard
        // still watches, and the session end was refused.
        TakeTriggerFlags(dialog, settings);
        SaveOwnerSettings(*owner);
        if (!GuardArmed())
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    case MAIN_MESSAGE_SHOW_BALANCE:
        SetDlgItemTextA(dialog, IDC_MAIN_BALANCE, SmsBalanceText(int32_t(uint32_t(wParam))).c_str());
        return TRUE;
    case MAIN_MESSAGE_LOGIN_ANSWERED:
        owner->loggedIn = wParam != FALSE;
        if (owner->loggedIn)
            SetDlgItemTextA(dialog, IDC_MAIN_BALANCE, SmsBalanceText(int32_t(lParam)).c_str());
        return TRUE;
    case MAIN_MESSAGE_UPDATE_CHECKED:
        RecordUpdateCheck(settings, PostedDate(wParam));
        return TRUE;
    case WM_DESTROY:
        // Network replies that come in while no main dialog is open touch
        // no window.
        ForgetMainDialog(dialog);
        break;
    }
    return FALSE;
}

const DLGPROC MainDialogProc = ProcedureAtEdge<INT_PTR, MainDialogProcBody, FALSE>;

}  // namespace

int RunMainDialog(OwnerState& owner)
{
    return int(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc,
                               reinterpret_cast<LPARAM>(&owner)));
}
