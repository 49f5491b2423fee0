// The two dialogs that may come before the main dialog.
#pragma once

struct Settings;

// The licence agreement: agreeing clears FLAG_AGREEMENT_PENDING. Without
// its text the program cannot go on: a "Fatal Error" box, exit code 1.
void RunAgreementDialog(Settings& settings);

// The headphone warning: its check box turns it off for later starts.
void RunWarningDialog(Settings& settings);
