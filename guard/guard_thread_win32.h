// The guard thread: one per lock command; it returns at unlock.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

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

// The characters of password that the guard's box cannot take with the
// calling thread's keyboard layout (the rule: UntypableAtGuard in
// guard/password_rules.h); empty when it takes them all.
std::u16string UntypableAtGuard(std::u16string_view password);
// When there are any, a "Warning" box over owner names them, and true: such
// a password is neither stored nor armed with.
bool RefuseUntypablePassword(HWND owner, std::u16string_view password);
