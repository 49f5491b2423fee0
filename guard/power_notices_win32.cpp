#include "guard/power_notices_win32.h"

#include "guard/system_function_win32.h"

namespace {

const GUID LIDSWITCH_STATE_CHANGE_GUID = {0xBA3E0F4D, 0xB817, 0x4094, {0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3}};
const GUID ACDC_POWER_SOURCE_GUID = {0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};

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
        lidSwitch_.Reset(powerSetting(window, &LIDSWITCH_STATE_CHANGE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE), unregister);
        powerSource_.Reset(powerSetting(window, &ACDC_POWER_SOURCE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE), unregister);
    }
}

void PowerNotices::Unregister() noexcept
{
    suspendResume_.Reset();
    lidSwitch_.Reset();
    powerSource_.Reset();
}
