// The guard dialog (dialog 142): armed from its initialisation until the
// unlock password is typed.
#pragma once

// Runs the dialog modally with no owner on the calling thread's desktop;
// returns at unlock. False when the mixer could not be opened at arming: the
// guard is then already taken down, and the caller ends the program.
struct GuardConfig;

bool RunGuardDialog(const GuardConfig& config) noexcept;
