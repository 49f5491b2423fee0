// The settings dialog, modal over the main dialog.
#pragma once

#include <windows.h>

void RunSettingsDialog(HWND owner);
