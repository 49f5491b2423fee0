// Placeholder until the guard is built.
#include "guard/guard_thread_win32.h"

DWORD WINAPI GuardThreadMain(LPVOID)
{
    return 0;
}
