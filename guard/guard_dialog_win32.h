// The guard dialog (dialog 142): armed from its initialisation until the
// unlock password is typed.
#pragma once

struct GuardConfig;

// How a guard dialog ended: unlocked by its password; before arming, because
// the mixer could not be opened (the caller ends the program); or refused
// before arming because a call it depends on failed (failedCall), with
// nothing left changed.
struct GuardEnd {
    enum Kind { Unlocked, NoSound, Refused } kind;
    const char* failedCall;
};

// Runs the dialog modally with no owner on the calling thread's desktop;
// returns at unlock, or at once when arming did not happen.
GuardEnd RunGuardDialog(const GuardConfig& config) noexcept;
