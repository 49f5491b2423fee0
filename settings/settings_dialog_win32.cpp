// Placeholder until the settings dialog is built.
#include "settings/settings_dialog_win32.h"

void RunSettingsDialog(HWND) {}
