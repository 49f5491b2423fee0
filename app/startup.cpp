#include "app/startup.h"

#include "settings/settings.h"

int RunStartupBody(StartupPlatform& platform, RegistryStore& store)
{
    // The other copy may be armed: giving back its live record, or saving
    // over what it will save, would undo its guard. This one changes nothing.
    if (!platform.OnlyProgramInSession()) {
        platform.ShowOtherProgram();
        return 0;
    }
    Settings& settings = LoadSettingsFrom(store);
    platform.GiveBackLeftOvers();

    if (settings.HasFlag(FLAG_AGREEMENT_PENDING)) {
        platform.EnsureUiResources();
        platform.RunAgreementDialog();
    }
    if (settings.HasFlag(FLAG_AGREEMENT_PENDING)) {
        // Declined: nothing is saved, so the agreement is asked for again.
        return 0;
    }

    if (settings.HasFlag(FLAG_SHOW_WARNING)) {
        platform.EnsureUiResources();
        platform.RunWarningDialog();
    }

    for (;;) {
        platform.EnsureUiResources();
        if (platform.RunMainDialog() != MAIN_RESULT_LOCK)
            break;
        platform.StartGuardThread(settings);
    }

    // A guard still up (the main dialog failed, or closed before the guard
    // had armed) keeps using the record: the program ends only after unlock.
    platform.WaitForGuardThreads();
    // A reply handled on the network thread must not meet a record that is
    // being saved or is gone.
    platform.CloseServiceSession();
    SaveSettings(settings);
    DestroySettings();
    return 0;
}
