// The two dialogs that may come before the main dialog.
#pragma once

struct Settings;

// One of the owner's dialogs never opened (RunDialog logged why): the
// "Fatal Error" box, then the program ends with exit code 1. The two below
// end so; the main and settings dialogs once no guard runs.
[[noreturn]] void DialogFailedExit();

// The licence agreement: agreeing clears FLAG_AGREEMENT_PENDING. Without
// its text the program cannot go on: a "Fatal Error" box, exit code 1.
void RunAgreementDialog(Settings& settings);

// The headphone warning: its check box turns it off for later starts.
void RunWarningDialog(Settings& settings);
