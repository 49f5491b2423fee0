// The dialog templates as the dialog manager builds them: the zero-size
// controls stay out of Tab's reach, and the new-version question reads
// like the update offer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
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

TEST(DialogTemplates, TheNewVersionQuestionAsksYesOrNoInTheOffersWords)
{
    const BuiltDialog dialog = Build(IDD_NEW_VERSION);
    ASSERT_NE(dialog.Get(), nullptr);
    EXPECT_EQ(ControlText(dialog.Get()), L"New Version Available!");
    ASSERT_NE(GetDlgItem(dialog.Get(), IDYES), nullptr);
    ASSERT_NE(GetDlgItem(dialog.Get(), IDNO), nullptr);
    EXPECT_EQ(SendMessageW(dialog.Get(), DM_GETDEFID, 0, 0), MAKELRESULT(IDYES, DC_HASDEFID));
    bool found = false;
    for (HWND child = GetWindow(dialog.Get(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        found = found || ControlText(child) ==
                             L"A new version of Kestrova is avaible!\n Do you want to take full advantage of the "
                             L"new features and download it now?";
    }
    EXPECT_TRUE(found);
}

}  // namespace
