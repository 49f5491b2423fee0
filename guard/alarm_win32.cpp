#include "guard/alarm.h"

#include <atomic>

#include "guard/alarm_win32.h"
#include "guard/siren_win32.h"
#include "guard/volume_guard_win32.h"
#include "online/service_calls_win32.h"
#include "settings/settings.h"

namespace {

class Win32AlarmShell : public AlarmShell {
public:
    void SendAlarmNotice() override { ::SendAlarmNotice(); }
    void BringGuardDesktopToFront() override { SwitchDesktop(GetThreadDesktop(GetCurrentThreadId())); }
    VolumeGuard& Volume() override { return GetVolumeGuard(); }
    void StartSiren() override { ::StartSiren(); }
    void StopSiren() override { ::StopSiren(); }
};

std::atomic<HWND> relay{nullptr};

constexpr wchar_t RELAY_CLASS[] = L"KestrovaAlarmRelay";

LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case ALARM_MESSAGE_START:
        StartAlarm(GetSettings());
        return 0;
    case ALARM_MESSAGE_ENDPOINT_CHANGED:
        if (GetSettings().sirenSounding)
            GetVolumeGuard().ReforceEndpoint();
        return 0;
    case ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED:
        FollowDefaultDevice(GetSettings());
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void StartAlarm(Settings& settings)
{
    Win32AlarmShell shell;
    StartAlarm(settings, shell);
}

void StopAlarm(Settings& settings)
{
    Win32AlarmShell shell;
    StopAlarm(settings, shell);
}

void FollowDefaultDevice(Settings& settings)
{
    Win32AlarmShell shell;
    FollowDefaultDevice(settings, shell);
}

HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure) noexcept
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    return CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

void OpenAlarmRelay() noexcept
{
    CloseAlarmRelay();
    relay = CreateMessageWindow(RELAY_CLASS, RelayProc);
}

void CloseAlarmRelay() noexcept
{
    const HWND window = relay.exchange(nullptr);
    if (window)
        DestroyWindow(window);
}

HWND AlarmRelayWindow() noexcept
{
    return relay;
}

void PostAlarmStart() noexcept
{
    const HWND window = relay;
    if (window)
        PostMessageW(window, ALARM_MESSAGE_START, 0, 0);
}

void PostEndpointChanged() noexcept
{
    const HWND window = relay;
    if (window)
        PostMessageW(window, ALARM_MESSAGE_ENDPOINT_CHANGED, 0, 0);
}
