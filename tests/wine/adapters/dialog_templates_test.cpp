// The dialog templates as the dialog manager builds them: the zero-size
// controls stay out of Tab's reach, and the new-version question reads
// like the update offer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>

#include "resources/resource_ids.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) noexcept
{
    return message == WM_INITDIALOG;
}

// Owns a modeless copy of one dialog, never shown.
class BuiltDialog {
public:
    explicit BuiltDialog(int dialogId)
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogId), nullptr,
                                     PlainDialogProc, 0);
    }
    ~BuiltDialog()
    {
        if (window_)
            DestroyWindow(window_);
    }
    BuiltDialog(const BuiltDialog&) = delete;
    BuiltDialog& operator=(const BuiltDialog&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

std::wstring ControlText(HWND control)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(control, buffer, 256);
    return buffer;
}

TEST(DialogTemplates, ZeroSizeControlsAreKeptButAreNoTabStops)
{
    const std::pair<int, int> hidden[] = {
        {IDD_MAIN, IDC_MAIN_SIGN_UP},           {IDD_SETTINGS, IDC_SETTINGS_UPDATE_CHECK},
        {IDD_SETTINGS, IDC_SETTINGS_SMS_USER},  {IDD_SETTINGS, IDC_SETTINGS_SMS_PASS},
        {IDD_SETTINGS, IDC_SETTINGS_SIGN_UP},   {IDD_SETTINGS, IDC_SETTINGS_USE_SMS},
    };
    for (const auto& [dialogId, controlId] : hidden) {
        BuiltDialog dialog(dialogId);
        ASSERT_NE(dialog.get(), nullptr) << dialogId;
        HWND control = GetDlgItem(dialog.get(), controlId);
        ASSERT_NE(control, nullptr) << controlId;
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP, 0) << controlId;
        RECT rect = {};
        GetWindowRect(control, &rect);
        EXPECT_EQ(rect.right - rect.left, 0) << controlId;
        EXPECT_EQ(rect.bottom - rect.top, 0) << controlId;
    }
}

TEST(DialogTemplates, TheNewVersionQuestionAsksYesOrNoInTheOffersWords)
{
    BuiltDialog dialog(IDD_NEW_VERSION);
    ASSERT_NE(dialog.get(), nullptr);
    EXPECT_EQ(ControlText(dialog.get()), L"New Version Available!");
    ASSERT_NE(GetDlgItem(dialog.get(), IDYES), nullptr);
    ASSERT_NE(GetDlgItem(dialog.get(), IDNO), nullptr);
    EXPECT_EQ(SendMessageW(dialog.get(), DM_GETDEFID, 0, 0), MAKELRESULT(IDYES, DC_HASDEFID));
    bool found = false;
    for (HWND child = GetWindow(dialog.get(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        found = found || ControlText(child) ==
                             L"A new version of Kestrova is avaible!\n Do you want to take full advantage of the "
                             L"new features and download it now?";
    }
    EXPECT_TRUE(found);
}

}  // namespace
