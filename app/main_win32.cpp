// kestrova.exe: the entry point. The command line is ignored.
#include <windows.h>

#include <memory>

#include "app/event_log.h"
#include "app/event_log_win32.h"
#include "app/main_dialog_win32.h"
#include "app/start_dialogs_win32.h"
#include "app/startup.h"
#include "app/ui_resources_win32.h"
#include "guard/give_back_win32.h"
#include "guard/guard_thread_win32.h"
#include "online/push_sender_win32.h"
#include "online/service_calls_win32.h"
#include "settings/registry_store_win32.h"

namespace {

class Win32StartupPlatform : public StartupPlatform {
public:
    void GiveBackLeftOvers() override
    {
        if (GiveBackLeftOverRecord())
            QueueGiveBackPush();
    }
    void EnsureUiResources() override { GetUiResources(); }
    void RunAgreementDialog() override { ::RunAgreementDialog(); }
    void RunWarningDialog() override { ::RunWarningDialog(); }
    int RunMainDialog() override { return ::RunMainDialog(); }
    // Not kept: the guard ends itself at unlock, and WaitForGuardThreads waits for it at exit.
    void StartGuardThread() override { ::StartGuardThread(); }
    void WaitForGuardThreads() override { ::WaitForGuardThreads(); }
    void CloseServiceSession() override { ::CloseServiceSession(); }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    StartWin32EventLog();
    Win32StartupPlatform platform;
    std::unique_ptr<RegistryStore> store = CreateSettingsRegistryStore();
    const int result = RunStartupBody(platform, *store);
    FlushEventLog();
    return result;
}
