// The owner's "start with Windows": the value "Kestrova" under the current
// user's Run key, the program's path with /tray, so that the program waits
// in the notification area from sign-in on. Not the guard's own value
// (guard/give_back_win32.h), which has a name of its own.
#pragma once

#include <windows.h>

// At the settings dialog's OK: written when on, removed when off. False,
// after a box over the dialog saying why, when the command line is longer
// than a Run value may be; nothing is written then.
bool WriteOwnerRunValue(HWND dialog, bool on);
