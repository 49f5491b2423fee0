// The settings dialog: password, sensitivity (typed or measured by dragging
// inside the small frame), daily update check, the SMS account, and the push
// address with its service and token.
#include "win32/callback_edge_win32.h"
#include "app/settings_dialog_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "guard/guard_thread_win32.h"
#include "online/push_kinds.h"
#include "online/push_notice.h"
#include "online/push_sender_win32.h"
#include "resources/resource_ids.h"
#include "settings/notify_token_win32.h"
#include "settings/service_url.h"
#include "settings/settings.h"
#include "settings/settings_codec.h"
#include "app/settings_dialog_rules.h"
#include "win32/ui_resources_win32.h"
#include "app/hot_key.h"
#include "app/start_with_windows_win32.h"
#include "win32/web_page_win32.h"

namespace {

// The test's outcome, posted by its thread; lParam is a PushOutcome the
// dialog then owns.
constexpr UINT WM_PUSH_TESTED = WM_APP + 20;

std::string ReadText(HWND dialog, int controlId, size_t bufferBytes)
{
    std::string buffer(bufferBytes, '\0');
    buffer.resize(GetDlgItemTextA(dialog, controlId, &buffer[0], int(bufferBytes)));
    return buffer;
}

std::u16string ReadWideText(HWND dialog, int controlId, size_t bufferUnits)
{
    std::wstring buffer(bufferUnits, L'\0');
    buffer.resize(GetDlgItemTextW(dialog, controlId, &buffer[0], int(bufferUnits)));
    return std::u16string(buffer.begin(), buffer.end());
}

// What one opening keeps, its runner's: the owner's record and the drag.
struct SettingsDialog {
    Settings& settings;
    DragState drag;
    bool hotKeyTaken;  // another program held the stored hot key at its registration
};

SettingsDialog& DataOf(HWND dialog)
{
    return *reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void InitSettingsDialog(HWND dialog, Settings& settings)
{
    // Typing stops where the read buffers on OK would cut the text anyway.
    const std::pair<int, size_t> limits[] = {{IDC_SETTINGS_SENSITIVITY, SENSITIVITY_TEXT_BYTES - 1},
        {IDC_SETTINGS_PASSWORD, PASSWORD_UNITS - 1}, {IDC_SETTINGS_SMS_USER, ACCOUNT_BYTES - 1},
        {IDC_SETTINGS_SMS_PASS, ACCOUNT_BYTES - 1}, {IDC_SETTINGS_NOTIFY_URL, PUSH_ADDRESS_MAX_CHARS},
        {IDC_SETTINGS_NOTIFY_TOKEN, NOTIFY_TOKEN_MAX_CHARS}};
    for (const auto& [id, limit] : limits)
        SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, limit, 0);

    SetDlgItemTextA(dialog, IDC_SETTINGS_WEB_ADDRESS, settings.serviceUrl.c_str());  // plain ASCII
    const SettingsDialogEntries shown = EntriesFromSettings(settings);
    CheckDlgButton(dialog, IDC_SETTINGS_UPDATE_CHECK, shown.dailyUpdateCheck ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(dialog, IDC_SETTINGS_SENSITIVITY, shown.sensitivityText.c_str());
    // wchar_t is UTF-16 on Windows.
    SetDlgItemTextW(dialog, IDC_SETTINGS_PASSWORD, reinterpret_cast<const wchar_t*>(shown.password.c_str()));
    SetDlgItemTextA(dialog, IDC_SETTINGS_SMS_PASS, shown.serverPass.c_str());
    SetDlgItemTextA(dialog, IDC_SETTINGS_SMS_USER, shown.serverUser.c_str());
    CheckDlgButton(dialog, IDC_SETTINGS_USE_SMS, shown.useSmsService ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SETTINGS_TAKE_PHOTOS, shown.takePhotos ? BST_CHECKED : BST_UNCHECKED);
    // By PushKind; the bots by their Chinese names, as their apps show them.
    for (const wchar_t* kind : {L"ntfy", L"Bark", L"\u4F01\u4E1A\u5FAE\u4FE1", L"\u9489\u9489", L"\u98DE\u4E66"})
        SendDlgItemMessageW(dialog, IDC_SETTINGS_NOTIFY_KIND, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind));
    SetDlgItemTextA(dialog, IDC_SETTINGS_NOTIFY_URL, shown.notifyUrl.c_str());
    SendDlgItemMessageW(dialog, IDC_SETTINGS_NOTIFY_KIND, CB_SETCURSEL, WPARAM(shown.notifyKind), 0);
    SetDlgItemTextA(dialog, IDC_SETTINGS_NOTIFY_TOKEN, LoadNotifyToken().c_str());
    // Ctrl or Alt is asked for: a plain key or Shift alone would be taken from
    // every program. The control cannot show the Windows key; OK keeps it while
    // the key is left as shown.
    static_assert(CONTROL_SHIFT == HOTKEYF_SHIFT && CONTROL_CONTROL == HOTKEYF_CONTROL && CONTROL_ALT == HOTKEYF_ALT &&
                      CONTROL_EXTENDED == HOTKEYF_EXT, "the control's bits");
    SendDlgItemMessageW(dialog, IDC_SETTINGS_HOTKEY, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S,
                        MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
    SendDlgItemMessageW(dialog, IDC_SETTINGS_HOTKEY, HKM_SETHOTKEY, shown.hotKey, 0);
    if (DataOf(dialog).hotKeyTaken)
        SetDlgItemTextW(dialog, IDC_SETTINGS_HOTKEY_NOTE,
                        L"\u53E6\u4E00\u4E2A\u7A0B\u5E8F\u5DF2\u5360\u7528\u8FD9\u4E2A\u70ED\u952E\uFF0C"
                        L"\u8BF7\u6362\u4E00\u4E2A\u3002");
    CheckDlgButton(dialog, IDC_SETTINGS_START_WITH_WINDOWS, shown.startWithWindows ? BST_CHECKED : BST_UNCHECKED);
}

// A pasted address whose host is a service's own chooses that service.
void ChooseKindOfAddress(HWND dialog)
{
    const std::u16string typed = ReadWideText(dialog, IDC_SETTINGS_NOTIFY_URL, PUSH_ADDRESS_MAX_CHARS + 1);
    if (const std::optional<PushKind> kind = KindOfAddress(NotifyUrlText(typed)))
        SendDlgItemMessageW(dialog, IDC_SETTINGS_NOTIFY_KIND, CB_SETCURSEL, WPARAM(*kind), 0);
}

PushKind ChosenKind(HWND dialog)
{
    // None chosen (CB_ERR) is ntfy, as an absent NotifyKind.
    return PushKind(std::max<LRESULT>(0, SendDlgItemMessageW(dialog, IDC_SETTINGS_NOTIFY_KIND, CB_GETCURSEL, 0, 0)));
}

// The token as typed, white space around it dropped.
std::string TypedToken(HWND dialog)
{
    std::string token = ReadText(dialog, IDC_SETTINGS_NOTIFY_TOKEN, NOTIFY_TOKEN_MAX_CHARS + 1);
    token.erase(0, token.find_first_not_of(" \t\r\n"));
    return token.erase(token.find_last_not_of(" \t\r\n") + 1);
}

// The typed push address when it may be used; otherwise the owner is told
// why in a box and the edit takes the focus.
bool TypedNotifyUrl(HWND dialog, std::string& url)
{
    const std::u16string typed = ReadWideText(dialog, IDC_SETTINGS_NOTIFY_URL, PUSH_ADDRESS_MAX_CHARS + 1);
    if (const char* refusal = NotifyUrlRefusal(typed)) {
        MessageBoxA(dialog, refusal, "Push address", MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_SETTINGS_NOTIFY_URL));
        return false;
    }
    url = NotifyUrlText(typed);
    return true;
}

void TestPushAddress(HWND dialog)
{
    std::string url;
    if (!TypedNotifyUrl(dialog, url))
        return;
    if (url.empty()) {
        MessageBoxA(dialog, "Type the push address first, as in https://ntfy.sh/your-own-topic.", "Push test",
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    // One test at a time: the button comes back with the outcome.
    if (StartPushTest(dialog, WM_PUSH_TESTED, PushTarget{ChosenKind(dialog), url, TypedToken(dialog)}))
        EnableWindow(GetDlgItem(dialog, IDC_SETTINGS_NOTIFY_TEST), FALSE);
}

void ShowPushTested(HWND dialog, LPARAM lParam)
{
    const std::unique_ptr<PushOutcome> outcome(reinterpret_cast<PushOutcome*>(lParam));
    EnableWindow(GetDlgItem(dialog, IDC_SETTINGS_NOTIFY_TEST), TRUE);
    if (outcome)
        MessageBoxA(dialog, TestOutcomeBoxText(*outcome).c_str(), "Push test",
                    MB_OK | (outcome->taken ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void StoreAndClose(HWND dialog)
{
    SettingsDialogEntries typed;
    // Nothing is stored while the push address is refused.
    if (!TypedNotifyUrl(dialog, typed.notifyUrl))
        return;
    typed.sensitivityText = ReadText(dialog, IDC_SETTINGS_SENSITIVITY, SENSITIVITY_TEXT_BYTES);
    typed.dailyUpdateCheck = IsDlgButtonChecked(dialog, IDC_SETTINGS_UPDATE_CHECK) == BST_CHECKED;
    typed.password = ReadWideText(dialog, IDC_SETTINGS_PASSWORD, PASSWORD_UNITS);
    // Nor while the guard could not take the password: the owner would be
    // locked out until the power is cut.
    if (RefuseUntypablePassword(dialog, typed.password)) {
        SetFocus(GetDlgItem(dialog, IDC_SETTINGS_PASSWORD));
        return;
    }
    typed.serverUser = ReadText(dialog, IDC_SETTINGS_SMS_USER, ACCOUNT_BYTES);
    typed.serverPass = ReadText(dialog, IDC_SETTINGS_SMS_PASS, ACCOUNT_BYTES);
    typed.useSmsService = IsDlgButtonChecked(dialog, IDC_SETTINGS_USE_SMS) == BST_CHECKED;
    typed.notifyKind = ChosenKind(dialog);
    typed.hotKey = uint16_t(SendDlgItemMessageW(dialog, IDC_SETTINGS_HOTKEY, HKM_GETHOTKEY, 0, 0));
    typed.startWithWindows = IsDlgButtonChecked(dialog, IDC_SETTINGS_START_WITH_WINDOWS) == BST_CHECKED;
    typed.takePhotos = IsDlgButtonChecked(dialog, IDC_SETTINGS_TAKE_PHOTOS) == BST_CHECKED;
    if (!WriteOwnerRunValue(dialog, typed.startWithWindows))
        return;
    SaveNotifyToken(TypedToken(dialog));
    EndDialog(dialog, StoreSettingsDialogEntries(DataOf(dialog).settings, typed) ? SETTINGS_RESULT_LOGIN : IDOK);
}

INT_PTR SettingsDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        InitSettingsDialog(dialog, DataOf(dialog).settings);
        // With no unlock password nothing arms: the owner is taken to it.
        if (DataOf(dialog).settings.GetPassword().empty()) {
            SetFocus(GetDlgItem(dialog, IDC_SETTINGS_PASSWORD));
            return FALSE;
        }
        return TRUE;  // the dialog manager sets the default focus
    case WM_LBUTTONDOWN: {
        const ScreenPoint client = ClientPointFromMessage(uint32_t(lParam));
        POINT point = {client.x, client.y};
        ClientToScreen(dialog, &point);
        RECT frame = {};
        GetWindowRect(GetDlgItem(dialog, IDC_SETTINGS_MEASURE_FRAME), &frame);
        if (BeginDrag(DataOf(dialog).drag, {int32_t(point.x), int32_t(point.y)},
                      {int32_t(frame.left), int32_t(frame.top), int32_t(frame.right), int32_t(frame.bottom)})) {
            SetCapture(dialog);
            SetCursor(LoadCursorW(nullptr, IDC_CROSS));
        }
        return FALSE;
    }
    case WM_MOUSEMOVE: {
        // Sampled before computing, so the value shown is the distance to
        // where the cursor is now rather than where it was one move ago.
        POINT cursor = {};
        GetCursorPos(&cursor);
        const ScreenPoint now{int32_t(cursor.x), int32_t(cursor.y)};
        if (const std::optional<int64_t> distance = DragMove(DataOf(dialog).drag, (wParam & MK_LBUTTON) != 0, now))
            SetDlgItemTextA(dialog, IDC_SETTINGS_SENSITIVITY, SensitivityFieldText(*distance).c_str());
        return FALSE;
    }
    case WM_LBUTTONUP:
        if (EndDrag(DataOf(dialog).drag)) {
            ReleaseCapture();
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        }
        return FALSE;
    case WM_CAPTURECHANGED:
        // The capture taken away mid-drag: no button-up will come.
        EndDrag(DataOf(dialog).drag);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            StoreAndClose(dialog);
            return TRUE;
        case IDCANCEL:
            // Whatever a drag showed is dropped with the dialog.
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_SETTINGS_SIGN_UP:
            RunOnStaThread(OpenInBrowser, SignUpPageUrl(DataOf(dialog).settings.serviceUrl));
            return FALSE;
        case IDC_SETTINGS_NOTIFY_TEST:
            TestPushAddress(dialog);
            return TRUE;
        case IDC_SETTINGS_NOTIFY_URL:
            if (HIWORD(wParam) == EN_CHANGE)
                ChooseKindOfAddress(dialog);
            return FALSE;
        }
        break;
    case WM_PUSH_TESTED:
        ShowPushTested(dialog, lParam);
        return TRUE;
    }
    return FALSE;
}

const DLGPROC SettingsDialogProc = ProcedureAtEdge<INT_PTR, SettingsDialogProcBody, FALSE>;

}  // namespace

INT_PTR RunSettingsDialog(HWND owner, Settings& settings, bool hotKeyTaken)
{
    SettingsDialog data{settings, {}, hotKeyTaken};
    return RunDialog(IDD_SETTINGS, owner, SettingsDialogProc, reinterpret_cast<LPARAM>(&data));
}
