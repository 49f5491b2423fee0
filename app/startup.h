// The start-up body: settings, the agreement gate, the headphone warning,
// then the main dialog in a loop, each lock starting one guard.
#pragma once

class RegistryStore;
struct Settings;

// What the start-up body asks of the platform, in the order it asks.
class StartupPlatform {
public:
    virtual ~StartupPlatform() = default;
    // False when another copy of the program runs in this session.
    virtual bool OnlyProgramInSession() { return true; }
    // Brings that other copy's window to the front.
    virtual void ShowOtherProgram() {}
    // What an armed process that never unlocked left changed on the machine.
    virtual void GiveBackLeftOvers() {}
    virtual void EnsureUiResources() = 0;
    virtual void RunAgreementDialog() = 0;
    virtual void RunWarningDialog() = 0;
    virtual int RunMainDialog() = 0;  // the command that ended it, or -1
    virtual void StartGuardThread(const Settings& settings) = 0;  // with its copy of them
    // Returns once no guard thread runs any more.
    virtual void WaitForGuardThreads() = 0;
    // Keeps late network replies away from the settings record.
    virtual void CloseServiceSession() = 0;
};

// The main dialog's result for the lock command.
constexpr int MAIN_RESULT_LOCK = 1004;

// Runs the program over the settings kept in the store; returns its exit
// code, 0 in every case.
int RunStartupBody(StartupPlatform& platform, RegistryStore& store);
