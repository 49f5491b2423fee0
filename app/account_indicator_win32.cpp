#include "app/account_indicator_win32.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/main_dialog_rules.h"
#include "app/ui_resources_win32.h"
#include "resources/resource_ids.h"

namespace {

// Sent from the network thread to the dialog's. The dialog may be going
// (its thread then waits for this very reply handler to leave the service
// gate), so a send that is not answered soon is given up: the indicator
// misses a step, nobody hangs.
constexpr UINT SEND_TIMEOUT_MS = 2000;

LRESULT SendToMainDialogControl(int controlId, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND dialog = GetUiResources().mainWindow.load();
    HWND control = dialog ? GetDlgItem(dialog, controlId) : nullptr;
    if (!control)
        return 0;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS,
                             &result))
        return 0;
    return LRESULT(result);
}

LRESULT SendToProgressBar(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendToMainDialogControl(IDC_MAIN_PROGRESS, message, wParam, lParam);
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
    // Wide text: the balance line is ASCII.
    const std::string text = SmsBalanceText(balance);
    const std::wstring wide(text.begin(), text.end());
    SendToMainDialogControl(IDC_MAIN_BALANCE, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}
