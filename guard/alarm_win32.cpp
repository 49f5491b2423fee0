#include "guard/alarm.h"
#include "guard/guard_config.h"

#include <atomic>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "guard/alarm_win32.h"
#include "win32/message_window_win32.h"
#include "guard/siren_win32.h"
#include "guard/volume_guard_win32.h"
#include "online/push_sender_win32.h"
#include "online/service_calls_win32.h"
#include "settings/settings.h"

namespace {

class Win32AlarmPlatform : public AlarmPlatform {
public:
    void SendAlarmNotice() override { ::SendAlarmNotice(GuardConfigFrom(GetSettings()).account); }
    void BringGuardDesktopToFront() override
    {
        if (!SwitchDesktop(GetThreadDesktop(GetCurrentThreadId())))
            LogFailedCall("SwitchDesktop", GetLastError());
    }
    VolumeGuard& Volume() override { return GetVolumeGuard(); }
    void StartSiren() override { ::StartSiren(); }
    void StopSiren() override { ::StopSiren(); }
    void QueueAlarmPush(AlarmCause cause) override { ::QueueAlarmPush(GuardConfigFrom(GetSettings()).push, cause); }
    void StartSirenOn(const std::u16string& endpoint) override { ::StartSirenOn(endpoint); }
    void StopSirenOn() override { ::StopSirenOn(); }
};

std::atomic<HWND> relay{nullptr};

constexpr wchar_t RELAY_CLASS[] = L"KestrovaAlarmRelay";

LRESULT RelayProcBody(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case ALARM_MESSAGE_START:
        StartAlarm(GetSettings(), static_cast<AlarmCause>(wParam));
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

LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return AtCallbackEdge(LRESULT(0), [&] { return RelayProcBody(window, message, wParam, lParam); });
}

}  // namespace

void StartAlarm(Settings& settings, AlarmCause cause)
{
    Win32AlarmPlatform platform;
    StartAlarm(settings, platform, cause);
}

void StopAlarm(Settings& settings)
{
    Win32AlarmPlatform platform;
    StopAlarm(settings, platform);
}

void FollowDefaultDevice(Settings& settings)
{
    Win32AlarmPlatform platform;
    FollowDefaultDevice(settings, platform);
}

void RestartAlarmSound(Settings& settings)
{
    Win32AlarmPlatform platform;
    RestartAlarmSound(settings, platform);
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

void PostAlarmStart(AlarmCause cause) noexcept
{
    const HWND window = relay;
    if (window)
        PostMessageW(window, ALARM_MESSAGE_START, WPARAM(cause), 0);
}

void PostEndpointChanged() noexcept
{
    const HWND window = relay;
    if (window)
        PostMessageW(window, ALARM_MESSAGE_ENDPOINT_CHANGED, 0, 0);
}
