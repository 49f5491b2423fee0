// The guard thread: one per lock command; it returns at unlock.
#pragma once

#include <windows.h>

DWORD WINAPI GuardThreadMain(LPVOID);
