#include "app/fatal_error_win32.h"

#include <windows.h>

void FatalExit(const wchar_t* text, int exitCode)
{
    MessageBoxW(nullptr, text, L"Fatal Error", MB_ICONERROR);
    ExitProcess(UINT(exitCode));
}
