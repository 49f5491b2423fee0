#include "app/tray_win32.h"

#include <shellapi.h>
#include <windowsx.h>
#include <wtsapi32.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "app/hot_key.h"
#include "app/main_dialog_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_thread_win32.h"
#include "online/service_calls_win32.h"
#include "resources/resource_ids.h"
#include "settings/notify_token_win32.h"
#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

static_assert(STORED_ALT == MOD_ALT && STORED_CONTROL == MOD_CONTROL && STORED_SHIFT == MOD_SHIFT &&
                  STORED_WIN == MOD_WIN, "the stored bits are RegisterHotKey's");

namespace {

constexpr wchar_t TRAY_CLASS[] = L"Kestrova.Tray";
// Posted by a second start: the first shows its main dialog.
constexpr wchar_t SHOW_MESSAGE_NAME[] = L"Kestrova: show the main dialog";
// The other copy's windows before it has its icon's, by their titles.
const wchar_t* const OTHER_PROGRAM_TITLES[] = {
    L"Kestrova v2.0beta", L"\u6700\u7EC8\u7528\u6237\u8BB8\u53EF\u534F\u8BAE", L"\u8B66\u544A\uFF01"};
constexpr UINT TRAY_ICON_ID = 1;
constexpr int LOCK_HOT_KEY_ID = 1;
constexpr UINT WM_TRAY_ICON = WM_APP + 0x30;
enum : UINT { ID_TRAY_SHOW, ID_TRAY_LOCK, ID_TRAY_SETTINGS, ID_TRAY_EXIT };
enum : UINT_PTR { IDT_ICON_RETRY = 1, IDT_GUARD_TIP, IDT_UPDATE_CHECK };
constexpr UINT ICON_RETRY_MS = 5000;
constexpr UINT ICON_RETRIES = 24;  // two minutes

enum class Wish { None, Show, End };

// The icon window's own, freed with it.
struct Tray {
    OwnerState& owner;
    bool online;  // the login and the update check were started
    Wish wish = Wish::None;
    UINT retriesLeft = 0;
    bool iconShown = false;
    bool tipArmed = false;
    bool balloonShown = false;
    UniqueHandle<HWND, WTSUnRegisterSessionNotification> sessionNotices{};  // unregistered when the window goes
};

Tray& TrayOf(HWND window)
{
    return *reinterpret_cast<Tray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

NOTIFYICONDATAW IconData(HWND window, bool armed)
{
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = WM_TRAY_ICON;
    data.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KESTROVA), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    lstrcpynW(data.szTip, armed ? L"Kestrova: armed" : L"Kestrova", ARRAYSIZE(data.szTip));
    return data;
}

// Explorer may be up but slow at sign-in, and Shell_NotifyIconW waits for it
// only a few seconds: a refused icon is tried again every 5 s for two
// minutes (a retry round), and at each "TaskbarCreated".
void PutIconInPlace(HWND window, Tray& tray, bool newRound)
{
    if (!newRound && --tray.retriesLeft == 0)
        KillTimer(window, IDT_ICON_RETRY);
    NOTIFYICONDATAW data = IconData(window, tray.tipArmed);
    tray.iconShown = Shell_NotifyIconW(NIM_MODIFY, &data) || Shell_NotifyIconW(NIM_ADD, &data);
    if (newRound && !LogIfFalse(tray.iconShown, "Shell_NotifyIconW (NIM_ADD)")) {
        tray.retriesLeft = ICON_RETRIES;
        LogIfFalse(SetTimer(window, IDT_ICON_RETRY, ICON_RETRY_MS, nullptr) != 0, "SetTimer (the icon's retry)");
    }
    if (!tray.iconShown)
        return;
    KillTimer(window, IDT_ICON_RETRY);
    data.uVersion = NOTIFYICON_VERSION_4;
    LogIfFalse(Shell_NotifyIconW(NIM_SETVERSION, &data), "Shell_NotifyIconW (NIM_SETVERSION)");
}

// The tip follows the guard: asked once a second while a guard thread
// runs, never otherwise.
void FollowGuard(HWND window, Tray& tray)
{
    const bool armed = GuardArmed();
    if (armed != tray.tipArmed && tray.iconShown) {
        NOTIFYICONDATAW data = IconData(window, armed);
        data.uFlags = NIF_TIP | NIF_SHOWTIP;
        LogIfFalse(Shell_NotifyIconW(NIM_MODIFY, &data), "Shell_NotifyIconW (the tip)");
    }
    tray.tipArmed = armed;
    if (!armed && !GuardThreadsRunning())
        KillTimer(window, IDT_GUARD_TIP);
}

// One timer, due just after the next UTC midnight: the daily update check
// costs no wake-up before it is due.
void ScheduleUpdateCheck(HWND window)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    const UINT untilMidnight = ((23 - now.wHour) * 3600 + (59 - now.wMinute) * 60 + (60 - now.wSecond)) * 1000 -
                               now.wMilliseconds;
    LogIfFalse(SetTimer(window, IDT_UPDATE_CHECK, untilMidnight + 60 * 1000, nullptr) != 0,
               "SetTimer (the daily update check)");
}

// A click on the icon and each menu item. Shown, the main dialog does what
// its own command does (a lock shows it again after the guard); hidden, a
// lock leaves it hidden. "设置…" and "退出" are refused while armed, as the
// main dialog refuses them.
void Request(HWND window, Tray& tray, UINT request)
{
    OwnerState& owner = tray.owner;
    const HWND dialog = owner.mainDialog;
    // A dialog or box already up over the main dialog, or over the icon's
    // window while the main dialog is hidden, comes to the front instead.
    const HWND base = dialog ? dialog : window;
    if (!IsWindowEnabled(base)) {
        LogIfFalse(SetForegroundWindow(GetLastActivePopup(base)), "SetForegroundWindow");
        return;
    }
    if (request > ID_TRAY_LOCK && GuardArmed())
        return;
    if (dialog && request == ID_TRAY_SHOW) {
        LogIfFalse(SetForegroundWindow(dialog), "SetForegroundWindow");
    } else if (dialog) {
        const int commands[] = {0, IDC_MAIN_LOCK, IDC_MAIN_SETTINGS, IDCANCEL};
        SendMessageW(dialog, WM_COMMAND, commands[request], 0);
    } else if (request == ID_TRAY_SHOW || request == ID_TRAY_EXIT) {
        // The icon's notices come as sent messages, which GetMessageW answers
        // without returning: a posted one wakes WaitInTray to look at the wish.
        tray.wish = request == ID_TRAY_SHOW ? Wish::Show : Wish::End;
        LogIfFalse(PostMessageW(window, WM_NULL, 0, 0), "PostMessageW (the icon's wish)");
    } else if (request == ID_TRAY_SETTINGS) {
        ChangeSettings(window, owner);
    } else if (ConfirmLock(window, owner)) {
        StartGuard(owner);
    }
}

void ShowMenu(HWND window, int x, int y)
{
    const ScopedMenu menu(CreatePopupMenu());
    if (!LogIfFalse(bool(menu), "CreatePopupMenu"))
        return;
    const UINT whileArmed = GuardArmed() ? MF_GRAYED : MF_ENABLED;
    AppendMenuW(menu.Get(), MF_STRING, ID_TRAY_LOCK, L"\u9501\u5B9A\u7535\u8111");
    AppendMenuW(menu.Get(), MF_STRING | whileArmed, ID_TRAY_SETTINGS, L"\u8BBE\u7F6E\u2026");
    AppendMenuW(menu.Get(), MF_STRING | whileArmed, ID_TRAY_EXIT, L"\u9000\u51FA");
    // Unless its owner is the foreground window, the menu stays open when
    // the owner clicks elsewhere.
    SetForegroundWindow(window);
    LogIfFalse(TrackPopupMenuEx(menu.Get(), TPM_RIGHTBUTTON, x, y, window, nullptr), "TrackPopupMenuEx");
    PostMessageW(window, WM_NULL, 0, 0);
}

LRESULT TrayWindowProcBody(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* tray = reinterpret_cast<Tray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!tray)
        return DefWindowProcW(window, message, wParam, lParam);
    OwnerState& owner = tray->owner;
    static const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    static const UINT showMessage = RegisterWindowMessageW(SHOW_MESSAGE_NAME);
    if (message == taskbarCreated) {  // Explorer started again: its icons are gone
        PutIconInPlace(window, *tray, true);
        return 0;
    }
    if (message == showMessage) {
        Request(window, *tray, ID_TRAY_SHOW);
        return 0;
    }
    switch (message) {
    case WM_TRAY_ICON:
        if (LOWORD(lParam) == NIN_SELECT || LOWORD(lParam) == NIN_KEYSELECT)
            Request(window, *tray, ID_TRAY_SHOW);
        else if (LOWORD(lParam) == WM_CONTEXTMENU)
            ShowMenu(window, GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam));
        return 0;
    case WM_HOTKEY:
        Request(window, *tray, ID_TRAY_LOCK);
        return 0;
    case WM_COMMAND:  // the menu's items
        if (LOWORD(wParam) >= ID_TRAY_LOCK && LOWORD(wParam) <= ID_TRAY_EXIT)
            Request(window, *tray, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == IDT_ICON_RETRY) {
            PutIconInPlace(window, *tray, false);
        } else if (wParam == IDT_GUARD_TIP) {
            FollowGuard(window, *tray);
        } else if (wParam == IDT_UPDATE_CHECK) {
            ScheduleUpdateCheck(window);
            CheckForUpdate(owner.settings);
        }
        return 0;
    // The daily check, when it is due, at resume and at unlock too.
    case WM_POWERBROADCAST:
    case WM_WTSSESSION_CHANGE:
        if (wParam == (message == WM_POWERBROADCAST ? PBT_APMRESUMEAUTOMATIC : WTS_SESSION_UNLOCK))
            CheckForUpdate(owner.settings);
        return TRUE;
    // The network's news while the main dialog is hidden.
    case MAIN_MESSAGE_LOGIN_ANSWERED:
        owner.loggedIn = wParam != FALSE;
        return 0;
    case MAIN_MESSAGE_UPDATE_CHECKED:
        RecordUpdateCheck(owner.settings, PostedDate(wParam));
        return 0;
    case WM_ENDSESSION:
        // Shown, the main dialog saves; the process may end once this returns.
        if (wParam && !owner.mainDialog)
            SaveOwnerSettings(owner);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete tray;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

const WNDPROC TrayWindowProc = ProcedureAtEdge<LRESULT, TrayWindowProcBody, 0>;

}  // namespace

bool StartsInTray(const wchar_t* commandLine)
{
    int count = 0;
    const ScopedLocal<wchar_t*> arguments(CommandLineToArgvW(commandLine, &count));
    if (!LogIfFalse(bool(arguments), "CommandLineToArgvW"))
        return false;
    return std::any_of(arguments.Get() + 1, arguments.Get() + count, [](const wchar_t* argument) {
        return lstrcmpiW(argument, L"/tray") == 0 || lstrcmpiW(argument, L"-tray") == 0;
    });
}

void ShowRunningCopy(bool inTray)
{
    if (inTray)
        return;
    if (const HWND other = FindWindowW(TRAY_CLASS, nullptr)) {
        // This start has the foreground (the owner started it) and hands it on.
        DWORD process = 0;
        GetWindowThreadProcessId(other, &process);
        LogIfFalse(AllowSetForegroundWindow(process), "AllowSetForegroundWindow");
        LogIfFalse(PostMessageW(other, RegisterWindowMessageW(SHOW_MESSAGE_NAME), 0, 0),
                   "PostMessageW (the first copy)");
        return;
    }
    // No icon window yet: the other copy's windows by their titles, the main
    // dialog first, before it the agreement or the warning. The settings
    // dialog comes to the front, when it is open, rather than its owner.
    for (const wchar_t* title : OTHER_PROGRAM_TITLES) {
        if (const HWND window = FindWindowW(L"#32770", title)) {
            const HWND front = GetLastActivePopup(window);
            if (IsIconic(window))
                ShowWindow(window, SW_RESTORE);
            LogIfFalse(SetForegroundWindow(front), "SetForegroundWindow");
            return;
        }
    }
}

void OpenTray(OwnerState& owner, bool inTray)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const WNDCLASSEXW windowClass = {sizeof windowClass, 0, TrayWindowProc, 0, 0, instance, nullptr, nullptr, nullptr,
                                     nullptr, TRAY_CLASS, nullptr};
    if (!LogIfFalse(RegisterClassExW(&windowClass) != 0, "RegisterClassExW (the icon's window)"))
        return;
    auto tray = std::make_unique<Tray>(Tray{owner, !inTray});
    // Top-level and never shown.
    owner.tray = CreateWindowExW(0, TRAY_CLASS, L"Kestrova", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (!LogIfFalse(owner.tray != nullptr, "CreateWindowExW (the icon's window)"))
        return;
    Tray& opened = *tray;
    SetWindowLongPtrW(owner.tray, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tray.release()));
    PutIconInPlace(owner.tray, opened, true);
    if (LogIfFalse(WTSRegisterSessionNotification(owner.tray, NOTIFY_FOR_THIS_SESSION),
                   "WTSRegisterSessionNotification"))
        opened.sessionNotices.Reset(owner.tray);
    RegisterLockHotKey(owner);
    ScheduleUpdateCheck(owner.tray);
    // A guard armed again at this start came before the icon.
    if (GuardThreadsRunning())
        LogIfFalse(SetTimer(owner.tray, IDT_GUARD_TIP, 1000, nullptr) != 0, "SetTimer (the icon's tip)");
}

void CloseTray(OwnerState& owner)
{
    if (!owner.tray)
        return;
    NOTIFYICONDATAW data = IconData(owner.tray, false);
    if (TrayOf(owner.tray).iconShown)
        LogIfFalse(Shell_NotifyIconW(NIM_DELETE, &data), "Shell_NotifyIconW (NIM_DELETE)");
    LogIfFalse(DestroyWindow(std::exchange(owner.tray, nullptr)), "DestroyWindow (the icon's window)");
}

void RegisterLockHotKey(OwnerState& owner)
{
    if (!owner.tray)
        return;
    UnregisterHotKey(owner.tray, LOCK_HOT_KEY_ID);  // none yet at the start: nothing to log
    owner.hotKeyTaken = false;
    const StoredHotKey key{owner.settings.hotKeyModifiers, owner.settings.hotKeyCode};
    if (key.code == 0)
        return;
    const FailedCall failed =
        FailureIfFalse(RegisterHotKey(owner.tray, LOCK_HOT_KEY_ID, key.modifiers | MOD_NOREPEAT, key.code),
                       "RegisterHotKey");
    if (failed.error != ERROR_HOTKEY_ALREADY_REGISTERED) {
        LogFailedCall(failed);
        return;
    }
    // The program goes on: the icon and the button still lock.
    owner.hotKeyTaken = true;
    const std::string text = "Hot key " + HotKeyName(key) + " is taken by another program";
    LogEvent(text);
    Tray& tray = TrayOf(owner.tray);
    if (std::exchange(tray.balloonShown, true) || !tray.iconShown)
        return;
    NOTIFYICONDATAW data = IconData(owner.tray, tray.tipArmed);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    lstrcpynW(data.szInfoTitle, L"Kestrova", ARRAYSIZE(data.szInfoTitle));
    lstrcpynW(data.szInfo, std::wstring(text.begin(), text.end()).c_str(), ARRAYSIZE(data.szInfo));
    LogIfFalse(Shell_NotifyIconW(NIM_MODIFY, &data), "Shell_NotifyIconW (the balloon)");
}

bool WaitInTray(OwnerState& owner)
{
    if (!owner.tray)
        return false;  // no icon to come back from: the program ends as closed
    Tray& tray = TrayOf(owner.tray);
    // Replies while hidden: the login's answer and the update check's date.
    OpenServiceSession(owner.tray, nullptr);
    if (!std::exchange(tray.online, true)) {  // started with /tray: what the main dialog would have started
        if (owner.settings.HasFlag(FLAG_SMS_SERVICE))
            StartAccountCheck(ServiceAccountOf(owner.settings));
        CheckForUpdate(owner.settings);
    }
    MSG message;
    while (tray.wish == Wish::None) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || !LogIfFalse(got != -1, "GetMessageW"))
            break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    ForgetMainDialog(owner.tray);
    return std::exchange(tray.wish, Wish::None) == Wish::Show;
}

void StartGuard(OwnerState& owner)
{
    // Each lock starts a guard with its own copy of the settings (the push
    // token as stored now), not kept: it ends itself at unlock.
    const Settings& settings = owner.settings;
    StartGuardThread({settings.flags, settings.sensitivity, settings.GetPassword(), ServiceAccountOf(settings),
                      PushTarget{settings.notifyKind, settings.notifyUrl, LoadNotifyToken()}, settings.takePhotos});
    if (owner.tray)
        LogIfFalse(SetTimer(owner.tray, IDT_GUARD_TIP, 1000, nullptr) != 0, "SetTimer (the icon's tip)");
}
