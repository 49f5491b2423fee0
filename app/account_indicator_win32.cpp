#include "app/account_indicator_win32.h"

#include <windows.h>
#include <commctrl.h>

#include "win32/event_log_win32.h"
#include "app/main_dialog_rules.h"
#include "app/ui_resources_win32.h"
#include "resources/resource_ids.h"

namespace {

// Posted, never sent: these come from the network thread, and the dialog's
// thread may be busy or gone; nobody waits for a reply handler. Posted
// messages keep their order; a dialog that is gone drops them.
void PostToMainDialog(int controlId, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND dialog = GetUiResources().mainWindow.load();
    const HWND target = !dialog ? nullptr : controlId ? GetDlgItem(dialog, controlId) : dialog;
    if (target && !PostMessageW(target, message, wParam, lParam))
        LogFailedCall("PostMessageW (the account indicator)", GetLastError());
}

void PostToProgressBar(UINT message, WPARAM wParam, LPARAM lParam)
{
    PostToMainDialog(IDC_MAIN_PROGRESS, message, wParam, lParam);
}

}  // namespace

void ResetAccountIndicator()
{
    PostToProgressBar(PBM_SETRANGE, 0, MAKELPARAM(0, 2));
    PostToProgressBar(PBM_SETSTEP, 1, 0);
    PostToProgressBar(PBM_SETPOS, 0, 0);
    PostToProgressBar(PBM_SETBARCOLOR, 0, RGB(255, 0, 0));
}

void StepAccountIndicator()
{
    PostToProgressBar(PBM_STEPIT, 0, 0);
}

void SetAccountIndicatorColour(uint8_t red, uint8_t green)
{
    PostToProgressBar(PBM_SETBARCOLOR, 0, RGB(red, green, 0));
}

void ShowSmsBalance(int32_t balance)
{
    PostToMainDialog(0, MAIN_MESSAGE_SHOW_BALANCE, WPARAM(uint32_t(balance)), 0);
}

void ShowPostedBalance(HWND dialog, WPARAM balance)
{
    SetDlgItemTextA(dialog, IDC_MAIN_BALANCE, SmsBalanceText(int32_t(uint32_t(balance))).c_str());
}

void ShowLoginAnswer(bool valid, int32_t balance)
{
    PostToMainDialog(0, MAIN_MESSAGE_LOGIN_ANSWERED, valid, LPARAM(balance));
}

void ShowUpdateCheckDate(const UtcDate& today)
{
    PostToMainDialog(0, MAIN_MESSAGE_UPDATE_CHECKED, MAKELONG(MAKEWORD(today.day, today.month), today.year), 0);
}

UtcDate PostedDate(WPARAM date)
{
    return UtcDate{HIWORD(date), HIBYTE(LOWORD(date)), LOBYTE(LOWORD(date))};
}
