// The dialog templates as the dialog manager builds them: the zero-size
// controls stay out of Tab's reach.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "win32/scoped_win32.h"
#include "resources/resource_ids.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) noexcept
{
    return message == WM_INITDIALOG;
}

using BuiltDialog = UniqueHandle<HWND, DestroyWindow>;

// A modeless copy of one dialog, never shown.
BuiltDialog Build(int dialogId)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return BuiltDialog(
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogId), nullptr, PlainDialogProc, 0));
}

TEST(DialogTemplates, ZeroSizeControlsAreKeptButAreNoTabStops)
{
    const std::pair<int, int> hidden[] = {
        {IDD_MAIN, IDC_MAIN_SIGN_UP},           {IDD_SETTINGS, IDC_SETTINGS_UPDATE_CHECK},
        {IDD_SETTINGS, IDC_SETTINGS_SMS_USER},  {IDD_SETTINGS, IDC_SETTINGS_SMS_PASS},
        {IDD_SETTINGS, IDC_SETTINGS_SIGN_UP},   {IDD_SETTINGS, IDC_SETTINGS_USE_SMS},
    };
    for (const auto& [dialogId, controlId] : hidden) {
        const BuiltDialog dialog = Build(dialogId);
        ASSERT_NE(dialog.Get(), nullptr) << dialogId;
        HWND control = GetDlgItem(dialog.Get(), controlId);
        ASSERT_NE(control, nullptr) << controlId;
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP, 0) << controlId;
        RECT rect = {};
        GetWindowRect(control, &rect);
        EXPECT_EQ(rect.right - rect.left, 0) << controlId;
        EXPECT_EQ(rect.bottom - rect.top, 0) << controlId;
    }
}

}  // namespace
