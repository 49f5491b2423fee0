#include <windows.h>

#include <stdexcept>
#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/data_resource_win32.h"
#include "app/fatal_error_win32.h"
#include "app/start_dialogs_win32.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

struct AgreementError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Exactly the resource's bytes: the text has no terminating zero.
std::string AgreementText()
{
    const DataResource resource = FindDataResource(IDR_AGREEMENT_TEXT);
    if (!resource.found)
        throw AgreementError("Can't find EULA resource");
    if (!resource.bytes)
        throw AgreementError("Error");
    return std::string(static_cast<const char*>(resource.bytes), resource.size);
}

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
        try {
            SetDlgItemTextA(dialog, IDC_AGREEMENT_TEXT, AgreementText().c_str());
        } catch (const AgreementError& error) {
            auto* data = reinterpret_cast<AgreementDialogData*>(lParam);
            const std::string what = error.what();
            data->failure.assign(what.begin(), what.end());
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

INT_PTR CALLBACK AgreementDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return AtCallbackEdge(INT_PTR(FALSE), [&] { return AgreementDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace

void RunAgreementDialog(Settings& settings)
{
    AgreementDialogData data{settings, {}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_AGREEMENT), nullptr,
                                     AgreementDialogProc, reinterpret_cast<LPARAM>(&data));
    if (result == RESULT_FAILED)
        FatalExit(data.failure.c_str(), 1);
}
