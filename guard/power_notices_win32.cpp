#include "guard/power_notices_win32.h"

#include "win32/event_log_win32.h"
#include "win32/system_function_win32.h"
#include "guard/guard_filter.h"
#include "win32/guid_win32.h"

namespace {

// Registered for the settings the filter compares.
constexpr GUID LIDSWITCH_STATE_CHANGE_GUID = GuidFromBytes(LIDSWITCH_STATE_CHANGE);
constexpr GUID ACDC_POWER_SOURCE_GUID = GuidFromBytes(ACDC_POWER_SOURCE);
constexpr GUID CONSOLE_DISPLAY_STATE_GUID = GuidFromBytes(CONSOLE_DISPLAY_STATE);

using RegisterSuspendResume = HANDLE(WINAPI*)(HANDLE, DWORD);
using RegisterPowerSetting = HANDLE(WINAPI*)(HANDLE, LPCGUID, DWORD);

HMODULE User32()
{
    return GetModuleHandleW(L"user32.dll");
}

}  // namespace

void PowerNotices::Register(HWND window) noexcept
{
    if (auto suspendResume = SystemFunction<RegisterSuspendResume>(User32(), "RegisterSuspendResumeNotification"))
        suspendResume_.Reset(suspendResume(window, DEVICE_NOTIFY_WINDOW_HANDLE),
                             SystemFunction<ScopedNotice::Unregister>(User32(), "UnregisterSuspendResumeNotification"));
    if (auto powerSetting = SystemFunction<RegisterPowerSetting>(User32(), "RegisterPowerSettingNotification")) {
        const auto unregister =
            SystemFunction<ScopedNotice::Unregister>(User32(), "UnregisterPowerSettingNotification");
        const HANDLE lid = powerSetting(window, &LIDSWITCH_STATE_CHANGE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!lid)
            LogFailedCall("RegisterPowerSettingNotification (the lid)", GetLastError());
        lidSwitch_.Reset(lid, unregister);
        const HANDLE source = powerSetting(window, &ACDC_POWER_SOURCE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!source)
            LogFailedCall("RegisterPowerSettingNotification (the power source)", GetLastError());
        powerSource_.Reset(source, unregister);
        const HANDLE displayState = powerSetting(window, &CONSOLE_DISPLAY_STATE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!displayState)
            LogFailedCall("RegisterPowerSettingNotification (the display)", GetLastError());
        displayState_.Reset(displayState, unregister);
    }
}

void RunningRequest::Hold() noexcept
{
    using Create = HANDLE(WINAPI*)(PREASON_CONTEXT);
    using Set = BOOL(WINAPI*)(HANDLE, POWER_REQUEST_TYPE);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto create = SystemFunction<Create>(kernel, "PowerCreateRequest");
    const auto set = SystemFunction<Set>(kernel, "PowerSetRequest");
    if (!create || !set)
        return;
    static wchar_t reason[] = L"Kestrova alarm is armed";
    REASON_CONTEXT context = {};
    context.Version = POWER_REQUEST_CONTEXT_VERSION;
    context.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    context.Reason.SimpleReasonString = reason;
    const HANDLE request = create(&context);
    if (request == INVALID_HANDLE_VALUE || !request) {
        LogFailedCall("PowerCreateRequest", GetLastError());
        return;
    }
    request_.Reset(request);
    if (!set(request_.Get(), PowerRequestExecutionRequired)) {
        LogFailedCall("PowerSetRequest", GetLastError());
        request_.Reset();
    }
}

void RunningRequest::Clear() noexcept
{
    using ClearRequest = BOOL(WINAPI*)(HANDLE, POWER_REQUEST_TYPE);
    if (!request_)
        return;
    const auto clear = SystemFunction<ClearRequest>(GetModuleHandleW(L"kernel32.dll"), "PowerClearRequest");
    if (clear && !clear(request_.Get(), PowerRequestExecutionRequired))
        LogFailedCall("PowerClearRequest", GetLastError());
    request_.Reset();
}

void PowerNotices::Unregister() noexcept
{
    suspendResume_.Reset();
    lidSwitch_.Reset();
    powerSource_.Reset();
    displayState_.Reset();
}
