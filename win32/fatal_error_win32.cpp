#include "win32/fatal_error_win32.h"

#include "win32/desktop_box_win32.h"
#include "win32/event_log.h"

void FatalExit(const wchar_t* text, int exitCode, HDESK desktop)
{
    ShowBoxOnDesktop(text, L"Fatal Error", MB_ICONERROR, desktop);
    ExitProcess(UINT(exitCode));
}
