// The guard thread: one per lock command; it returns at unlock.
#pragma once

#include <windows.h>

struct GuardConfig;

// Starts a guard thread, neither waited for nor kept, with its own copy of
// config.
void StartGuardThread(const GuardConfig& config) noexcept;
// True from arming to disarming (set by Arm and Disarm,
// guard/input_hooks_win32.h); from any thread.
bool GuardArmed() noexcept;
// True from StartGuardThread until that thread has ended; from any thread.
bool GuardThreadsRunning() noexcept;
// Returns once every guard thread started by StartGuardThread has ended.
void WaitForGuardThreads() noexcept;
