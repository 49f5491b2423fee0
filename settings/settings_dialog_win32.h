// The settings dialog, modal over the main dialog.
#pragma once

#include <windows.h>

struct Settings;

// True when OK stored the fields in the record: the caller saves it.
bool RunSettingsDialog(HWND owner, Settings& settings);
