#include "app/start_dialogs_win32.h"

#include <windows.h>

#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/data_resource_win32.h"
#include "win32/desktop_box_win32.h"
#include "win32/ui_resources_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

// How the warning ends when its check box was ticked.
constexpr INT_PTR RESULT_DONT_SHOW_AGAIN = 0x100;

INT_PTR AgreementDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_AGREEMENT_TEXT, reinterpret_cast<const char*>(lParam));
        // The focus goes to the agree button ourselves: in the edit it would
        // select the whole text and scroll it to its end.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR WarningDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);  // the runner's picture
        return TRUE;
    case WM_PAINT:
        PaintPicture(dialog, *reinterpret_cast<const Picture*>(GetWindowLongPtrW(dialog, DWLP_USER)), 5, 5);
        return TRUE;
    case WM_DPICHANGED:
        // The picture changes size: all of it is drawn again, not only the
        // part the system marks.
        InvalidateRect(dialog, nullptr, TRUE);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            const bool dontShow = IsDlgButtonChecked(dialog, IDC_WARNING_DONT_SHOW) == BST_CHECKED;
            EndDialog(dialog, dontShow ? RESULT_DONT_SHOW_AGAIN : LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

void DialogFailedExit()
{
    FatalExit(L"Can't open the dialog", 1);
}

void RunAgreementDialog(Settings& settings)
{
    const DataResource resource = FindDataResource(IDR_AGREEMENT_TEXT);
    if (!resource.bytes)
        FatalExit(resource.found ? L"Error" : L"Can't find EULA resource", 1);
    // Exactly the resource's bytes: the text has no terminating zero.
    const std::string text(static_cast<const char*>(resource.bytes), resource.size);
    const INT_PTR result = RunDialog(IDD_AGREEMENT, nullptr, ProcedureAtEdge<INT_PTR, AgreementDialogProcBody, FALSE>,
                                     reinterpret_cast<LPARAM>(text.c_str()));
    if (result == -1)
        DialogFailedExit();
    if (result == IDOK)
        settings.SetFlag(FLAG_AGREEMENT_PENDING, false);
}

void RunWarningDialog(Settings& settings)
{
    const Picture picture = LoadPicture(IDR_WARNING_PICTURE);
    const INT_PTR result = RunDialog(IDD_WARNING, nullptr, ProcedureAtEdge<INT_PTR, WarningDialogProcBody, FALSE>,
                                     reinterpret_cast<LPARAM>(&picture));
    if (result == -1)
        DialogFailedExit();
    if (result == RESULT_DONT_SHOW_AGAIN)
        settings.SetFlag(FLAG_SHOW_WARNING, false);
}
