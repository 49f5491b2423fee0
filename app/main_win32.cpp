// kestrova.exe: the entry point. The command line is ignored.
#include <windows.h>

#include <memory>

#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "app/main_dialog_win32.h"
#include "win32/scoped_win32.h"
#include "app/start_dialogs_win32.h"
#include "app/startup.h"
#include "app/ui_resources_win32.h"
#include "guard/give_back_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_thread_win32.h"
#include "online/push_sender_win32.h"
#include "online/service_calls_win32.h"
#include "settings/registry_store_win32.h"

namespace {

// In the session's own namespace: another user's session may run its own copy.
constexpr wchar_t SESSION_MUTEX_NAME[] = L"Local\\Kestrova.Program";

// The other copy's windows by their titles, the main dialog first: before it
// the agreement or the warning may be up.
const wchar_t* const OTHER_PROGRAM_TITLES[] = {
    L"Kestrova v2.0beta", L"\u6700\u7EC8\u7528\u6237\u8BB8\u53EF\u534F\u8BAE", L"\u8B66\u544A\uFF01"};

class Win32StartupPlatform : public StartupPlatform {
public:
    bool OnlyProgramInSession() override
    {
        // Held until the process ends, however it ends.
        sessionMutex_.Reset(CreateMutexW(nullptr, FALSE, SESSION_MUTEX_NAME));
        const DWORD error = GetLastError();
        if (!sessionMutex_) {
            LogFailedCall("CreateMutexW", error);
            // Denied: it exists, made by a copy we may not open. Anything
            // else: no way to tell, and a guard that never starts is worse.
            return error != ERROR_ACCESS_DENIED;
        }
        return error != ERROR_ALREADY_EXISTS;
    }
    void ShowOtherProgram() override
    {
        for (const wchar_t* title : OTHER_PROGRAM_TITLES) {
            const HWND window = FindWindowW(L"#32770", title);
            if (!window)
                continue;
            // The settings dialog, when it is open, rather than its owner.
            const HWND front = GetLastActivePopup(window);
            if (IsIconic(window))
                ShowWindow(window, SW_RESTORE);
            if (!SetForegroundWindow(front))
                LogFailedCall("SetForegroundWindow", GetLastError());
            return;
        }
    }
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
    void StartGuardThread(const Settings& settings) override { ::StartGuardThread(GuardConfigFrom(settings)); }
    void WaitForGuardThreads() override { ::WaitForGuardThreads(); }
    void CloseServiceSession() override { ::CloseServiceSession(); }

private:
    ScopedHandle sessionMutex_;
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
