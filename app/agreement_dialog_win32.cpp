#include <windows.h>

#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/data_resource_win32.h"
#include "app/fatal_error_win32.h"
#include "app/start_dialogs_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

struct AgreementDialogData {
    Settings& settings;
    std::wstring failure;  // set when the text could not be shown
};

constexpr INT_PTR RESULT_FAILED = -2;

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
            auto* data = reinterpret_cast<AgreementDialogData*>(lParam);
            data->failure = resource.found ? L"Error" : L"Can't find EULA resource";
            EndDialog(dialog, RESULT_FAILED);
        }
        // The focus goes to the agree button ourselves: in the edit it would
        // select the whole text and scroll it to its end.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            reinterpret_cast<AgreementDialogData*>(GetWindowLongPtrW(dialog, DWLP_USER))
                ->settings.SetFlag(FLAG_AGREEMENT_PENDING, false);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

const DLGPROC AgreementDialogProc = ProcedureAtEdge<INT_PTR, AgreementDialogProcBody, FALSE>;

}  // namespace

void RunAgreementDialog(Settings& settings)
{
    AgreementDialogData data{settings, {}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_AGREEMENT), nullptr,
                                     AgreementDialogProc, reinterpret_cast<LPARAM>(&data));
    if (result == RESULT_FAILED)
        FatalExit(data.failure.c_str(), 1);
}
