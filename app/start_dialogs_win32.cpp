#include "app/start_dialogs_win32.h"

#include <windows.h>

#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/data_resource_win32.h"
#include "app/fatal_error_win32.h"
#include "app/ui_resources_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

// How the agreement ends when its text cannot be shown.
constexpr INT_PTR RESULT_TEXT_MISSING = -2;
constexpr INT_PTR RESULT_TEXT_UNREADABLE = -3;

Settings& RecordOf(HWND dialog)
{
    return *reinterpret_cast<Settings*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR AgreementDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const DataResource resource = FindDataResource(IDR_AGREEMENT_TEXT);
        if (resource.bytes) {
            // Exactly the resource's bytes: the text has no terminating zero.
            const std::string text(static_cast<const char*>(resource.bytes), resource.size);
            SetDlgItemTextA(dialog, IDC_AGREEMENT_TEXT, text.c_str());
        } else {
            EndDialog(dialog, resource.found ? RESULT_TEXT_UNREADABLE : RESULT_TEXT_MISSING);
        }
        // The focus goes to the agree button ourselves: in the edit it would
        // select the whole text and scroll it to its end.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            RecordOf(dialog).SetFlag(FLAG_AGREEMENT_PENDING, false);
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
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_PAINT:
        PaintPicture(dialog, GetUiResources().warningPicture, 5, 5);
        return TRUE;
    case WM_DPICHANGED:
        // The picture changes size: all of it is drawn again, not only the
        // part the system marks.
        InvalidateRect(dialog, nullptr, TRUE);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            if (IsDlgButtonChecked(dialog, IDC_WARNING_DONT_SHOW) == BST_CHECKED)
                RecordOf(dialog).SetFlag(FLAG_SHOW_WARNING, false);
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR RunStartDialog(int dialogId, DLGPROC procedure, Settings& settings)
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogId), nullptr, procedure,
                           reinterpret_cast<LPARAM>(&settings));
}

}  // namespace

void RunAgreementDialog(Settings& settings)
{
    const INT_PTR result =
        RunStartDialog(IDD_AGREEMENT, ProcedureAtEdge<INT_PTR, AgreementDialogProcBody, FALSE>, settings);
    if (result == RESULT_TEXT_MISSING)
        FatalExit(L"Can't find EULA resource", 1);
    if (result == RESULT_TEXT_UNREADABLE)
        FatalExit(L"Error", 1);
}

void RunWarningDialog(Settings& settings)
{
    RunStartDialog(IDD_WARNING, ProcedureAtEdge<INT_PTR, WarningDialogProcBody, FALSE>, settings);
}
