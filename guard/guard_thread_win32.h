// The guard thread: one per lock command; it returns at unlock.
#pragma once

#include <windows.h>

DWORD WINAPI GuardThreadMain(LPVOID);

// Starts GuardThreadMain on a thread of its own, neither waited for nor kept.
void StartGuardThread() noexcept;
// Returns once every guard thread started by StartGuardThread has ended: the
// settings record they use may go only then.
void WaitForGuardThreads() noexcept;
