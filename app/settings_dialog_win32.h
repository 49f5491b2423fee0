// The settings dialog, modal over the main dialog.
#pragma once

#include <windows.h>

struct Settings;

// IDOK when OK stored the fields in the record, SETTINGS_RESULT_LOGIN when
// it stored them with the SMS service on: the caller saves the record, and
// starts the login for the latter. Anything else: nothing was stored; -1:
// the dialog never opened.
constexpr INT_PTR SETTINGS_RESULT_LOGIN = 0x100;
// hotKeyTaken: the stored hot key is held by another program, and the note
// beside it says so.
INT_PTR RunSettingsDialog(HWND owner, Settings& settings, bool hotKeyTaken = false);
