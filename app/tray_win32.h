// The program's icon in the notification area, with its menu, and the lock
// hot key, on a hidden top-level window of the main thread (owner.tray):
// "TaskbarCreated" reaches only top-level windows, and a hot key registered
// with no window would be eaten by the modal loops the dialogs run in.
#pragma once

#include <windows.h>

struct OwnerState;

// "/tray" or "-tray", any case: start with the icon and no window.
bool StartsInTray(const wchar_t* commandLine);

// A second start: asks the copy that runs to show its main dialog (nothing
// with /tray) and lets it take the foreground; before that copy has its
// icon's window (its agreement or warning is up), brings that to the front.
void ShowRunningCopy(bool inTray);

// The window, the icon and the hot key; CloseTray takes them away.
void OpenTray(OwnerState& owner, bool inTray);
void CloseTray(OwnerState& owner);
// The stored hot key, registered again (at OK of the settings dialog).
void RegisterLockHotKey(OwnerState& owner);

// With the main dialog hidden, the icon, the menu and the hot key answer
// until the owner asks for the main dialog (true) or for the end (false).
bool WaitInTray(OwnerState& owner);

// A lock's guard, with its copy of the settings; the icon's tip follows it.
void StartGuard(OwnerState& owner);
