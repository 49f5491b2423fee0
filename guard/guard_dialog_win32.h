// The guard dialog (dialog 142): armed from its initialisation until the
// unlock password is typed.
#pragma once

// Runs the dialog modally with no owner on the calling thread's desktop;
// returns at unlock.
void RunGuardDialog() noexcept;
