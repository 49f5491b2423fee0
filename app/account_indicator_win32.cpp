#include "app/account_indicator_win32.h"

#include <windows.h>
#include <commctrl.h>

#include "app/main_dialog_rules.h"
#include "app/ui_resources_win32.h"
#include "resources/resource_ids.h"

namespace {

// SendMessageW runs on the dialog's thread, which keeps pumping messages.
LRESULT SendToProgressBar(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND dialog = GetUiResources().mainWindow.load();
    if (!dialog)
        return 0;
    return SendDlgItemMessageW(dialog, IDC_MAIN_PROGRESS, message, wParam, lParam);
}

}  // namespace

void ResetAccountIndicator()
{
    SendToProgressBar(PBM_SETRANGE, 0, MAKELPARAM(0, 2));
    SendToProgressBar(PBM_SETSTEP, 1, 0);
    SendToProgressBar(PBM_SETPOS, 0, 0);
    SendToProgressBar(PBM_SETBARCOLOR, 0, RGB(255, 0, 0));
}

void StepAccountIndicator()
{
    SendToProgressBar(PBM_STEPIT, 0, 0);
}

void SetAccountIndicatorColour(uint8_t red, uint8_t green)
{
    SendToProgressBar(PBM_SETBARCOLOR, 0, RGB(red, green, 0));
}

void ShowSmsBalance(int32_t balance)
{
    HWND dialog = GetUiResources().mainWindow.load();
    if (dialog)
        SetDlgItemTextA(dialog, IDC_MAIN_BALANCE, SmsBalanceText(balance).c_str());
}
