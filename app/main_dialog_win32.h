// The main dialog: the trigger boxes, lock, settings and the account
// indicator. Ends with MAIN_RESULT_LOCK for a lock, 2 when closed.
#pragma once

#include <windows.h>

#include <memory>

#include "settings/registry_key.h"
#include "settings/settings.h"
#include "settings/settings_codec.h"

// What the main thread keeps from start to exit: the owner's record, the key
// it is written through, and the last login's answer from the network.
struct OwnerState {
    Settings settings;
    std::unique_ptr<RegistryKey> key;  // null when the key did not open: nothing is saved
    bool loggedIn = false;
    HWND mainDialog = nullptr;  // while it is shown
    HWND tray = nullptr;        // the notification icon's window (app/tray_win32.h)
    bool hotKeyTaken = false;   // another program holds the stored hot key
};

// Whenever the owner changed the record, and at exit: only the main thread
// writes the key.
inline void SaveOwnerSettings(const OwnerState& owner)
{
    if (owner.key)
        WriteSettings(owner.settings, *owner.key);
}

// The main dialog's result for the lock command, and for a dialog that never
// opened: the main dialog, or the settings dialog over it.
constexpr int MAIN_RESULT_LOCK = 1004;
constexpr int MAIN_RESULT_FAILED = -2;

// Minimized: the dialog ends, and the program waits in the notification area.
constexpr int MAIN_RESULT_HIDE = 0x200;

int RunMainDialog(OwnerState& owner);  // the command that ended it, or MAIN_RESULT_FAILED

// The lock button's questions, over window: a password must be set first (a
// box, then the settings dialog), and without an SMS login the owner is asked.
// True when the guard is to start.
bool ConfirmLock(HWND window, OwnerState& owner);
// The settings dialog over window; what OK stored is saved at once, the hot
// key registered again, and a changed SMS account logs in again. Returns the
// settings dialog's result (-1: it never opened).
INT_PTR ChangeSettings(HWND window, OwnerState& owner);
