#include <windows.h>

#include "win32/callback_edge_win32.h"
#include "app/start_dialogs_win32.h"
#include "app/ui_resources_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

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
    case WM_COMMAND: {
        WORD id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            if (IsDlgButtonChecked(dialog, IDC_WARNING_DONT_SHOW) == BST_CHECKED)
                reinterpret_cast<Settings*>(GetWindowLongPtrW(dialog, DWLP_USER))->SetFlag(FLAG_SHOW_WARNING, false);
            EndDialog(dialog, id);
            return TRUE;
        }
        break;
    }
    }
    return FALSE;
}

const DLGPROC WarningDialogProc = ProcedureAtEdge<INT_PTR, WarningDialogProcBody, FALSE>;

}  // namespace

void RunWarningDialog(Settings& settings)
{
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WARNING), nullptr, WarningDialogProc,
                    reinterpret_cast<LPARAM>(&settings));
}
