#include "app/main_dialog_win32.h"

#include <string>

#include "win32/callback_edge_win32.h"
#include "guard/guard_thread_win32.h"
#include "guard/password_rules.h"
#include "online/service_calls_win32.h"
#include "resources/resource_ids.h"
#include "settings/service_url.h"
#include "app/settings_dialog_win32.h"
#include "win32/ui_resources_win32.h"
#include "app/tray_win32.h"
#include "win32/web_page_win32.h"

namespace {

// The four trigger boxes and the flag each sets.
const struct {
    int controlId;
    uint32_t flag;
} TRIGGER_CHECK_BOXES[] = {
    {IDC_MAIN_TRIGGER_POWER, FLAG_TRIGGER_POWER},
    {IDC_MAIN_TRIGGER_USB_MOUSE, FLAG_TRIGGER_USB_MOUSE},
    {IDC_MAIN_TRIGGER_MOUSE_MOVE, FLAG_TRIGGER_MOUSE_MOVE},
    {IDC_MAIN_TRIGGER_SHUTDOWN, FLAG_TRIGGER_SHUTDOWN},
};

void TakeTriggerFlags(HWND dialog, Settings& settings)
{
    for (const auto& box : TRIGGER_CHECK_BOXES)
        settings.SetFlag(box.flag, IsDlgButtonChecked(dialog, box.controlId) == BST_CHECKED);
}

// "SMS Balance: 42", or "SMS Balance: N/A" for a negative count.
void ShowBalance(HWND dialog, int32_t balance)
{
    const std::string text = "SMS Balance: " + (balance < 0 ? std::string("N/A") : std::to_string(balance));
    SetDlgItemTextA(dialog, IDC_MAIN_BALANCE, text.c_str());
}

INT_PTR MainDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<OwnerState*>(lParam)->mainDialog = dialog;
        Settings& settings = reinterpret_cast<OwnerState*>(lParam)->settings;
        for (const auto& box : TRIGGER_CHECK_BOXES)
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
        // settings would change the password the guard compares; only the
        // password at the guard ends the armed state.
        if ((LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_MAIN_SETTINGS) && GuardArmed())
            return TRUE;
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            TakeTriggerFlags(dialog, settings);
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_MAIN_LOCK:
            TakeTriggerFlags(dialog, settings);
            SaveOwnerSettings(*owner);
            if (ConfirmLock(dialog, *owner))
                EndDialog(dialog, MAIN_RESULT_LOCK);
            return TRUE;
        case IDC_MAIN_SETTINGS:
            // One that never opened ends the main dialog too, and with it
            // the program.
            if (ChangeSettings(dialog, *owner) == -1)
                EndDialog(dialog, MAIN_RESULT_FAILED);
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
        ShowBalance(dialog, int32_t(uint32_t(wParam)));
        return TRUE;
    case MAIN_MESSAGE_LOGIN_ANSWERED:
        owner->loggedIn = wParam != FALSE;
        if (owner->loggedIn)
            ShowBalance(dialog, int32_t(lParam));
        return TRUE;
    case MAIN_MESSAGE_UPDATE_CHECKED:
        RecordUpdateCheck(settings, PostedDate(wParam));
        return TRUE;
    case WM_DESTROY:
        // Network replies that come in while no main dialog is open touch
        // no window.
        ForgetMainDialog(dialog);
        owner->mainDialog = nullptr;
        break;
    case WM_SYSCOMMAND:
        // Minimized, it hides to the notification icon.
        if ((wParam & 0xFFF0) != SC_MINIMIZE)
            break;
        TakeTriggerFlags(dialog, settings);
        SaveOwnerSettings(*owner);
        EndDialog(dialog, MAIN_RESULT_HIDE);
        return TRUE;
    }
    return FALSE;
}

const DLGPROC MainDialogProc = ProcedureAtEdge<INT_PTR, MainDialogProcBody, FALSE>;

}  // namespace

INT_PTR ChangeSettings(HWND window, OwnerState& owner)
{
    const INT_PTR stored = RunSettingsDialog(window, owner.settings, owner.hotKeyTaken);
    if (stored == IDOK || stored == SETTINGS_RESULT_LOGIN) {
        SaveOwnerSettings(owner);
        RegisterLockHotKey(owner);
    }
    if (stored == SETTINGS_RESULT_LOGIN)
        StartAccountCheck(ServiceAccountOf(owner.settings));
    return stored;
}

bool ConfirmLock(HWND window, OwnerState& owner)
{
    const Settings& settings = owner.settings;
    // Enter unlocks a guard with no password: nothing arms until one
    // is set, and the owner then presses lock again.
    const bool empty = PasswordIsEmpty(settings.GetPassword());
    if (empty)
        MessageBoxA(window, "Set an unlock password first.\nWithout one, anybody could unlock the guard with Enter.",
                    "Warning", MB_OK | MB_ICONWARNING);
    // Nor with one the guard's box cannot take (set by hand, or by an older
    // version): the box names what it cannot.
    if (empty || RefuseUntypablePassword(window, settings.GetPassword())) {
        ChangeSettings(window, owner);
        return false;
    }
    return !settings.HasFlag(FLAG_SMS_SERVICE) || owner.loggedIn ||
           MessageBoxA(window, "You're not logged in. You won't get a SMS warning when the alarm is triggered.\n"
                               "Are you sure you want to continue?", "Warning", MB_YESNO | MB_ICONWARNING) == IDYES;
}

int RunMainDialog(OwnerState& owner)
{
    const INT_PTR ended = RunDialog(IDD_MAIN, nullptr, MainDialogProc, reinterpret_cast<LPARAM>(&owner));
    return ended == -1 ? MAIN_RESULT_FAILED : int(ended);
}
