#include "app/startup.h"

#include "settings/settings.h"

int RunStartupBody(StartupShell& shell, RegistryStore& store)
{
    Settings& settings = LoadSettingsFrom(store);
    shell.GiveBackLeftOvers();

    if (settings.HasFlag(FLAG_AGREEMENT_PENDING)) {
        shell.EnsureUiResources();
        shell.RunAgreementDialog();
    }
    if (settings.HasFlag(FLAG_AGREEMENT_PENDING)) {
        // Declined: nothing is saved, so the agreement is asked for again.
        return 0;
    }

    if (settings.HasFlag(FLAG_SHOW_WARNING)) {
        shell.EnsureUiResources();
        shell.RunWarningDialog();
    }

    for (;;) {
        shell.EnsureUiResources();
        if (shell.RunMainDialog() != MAIN_RESULT_LOCK)
            break;
        shell.StartGuardThread();
    }

    // A guard still up (the main dialog failed, or closed before the guard
    // had armed) keeps using the record: the program ends only after unlock.
    shell.WaitForGuardThreads();
    // A reply handled on the network thread must not meet a record that is
    // being saved or is gone.
    shell.CloseServiceSession();
    SaveSettings(settings);
    DestroySettings();
    return 0;
}
