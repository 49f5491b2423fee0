// The program's last word: a "Fatal Error" box, then the process ends.
#pragma once

#include <windows.h>

// With a desktop, the box is shown there (from a thread of its own, which
// can still take that desktop) rather than on the calling thread's.
[[noreturn]] void FatalExit(const wchar_t* text, int exitCode, HDESK desktop = nullptr);
