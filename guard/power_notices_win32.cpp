#include "guard/power_notices_win32.h"

#include "guard/system_function_win32.h"

namespace {

const GUID LIDSWITCH_STATE_CHANGE_GUID = {0xBA3E0F4D, 0xB817, 0x4094, {0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3}};
const GUID ACDC_POWER_SOURCE_GUID = {0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};

using RegisterSuspendResume = HANDLE(WINAPI*)(HANDLE, DWORD);
using RegisterPowerSetting = HANDLE(WINAPI*)(HANDLE, LPCGUID, DWORD);
using UnregisterNotice = BOOL(WINAPI*)(HANDLE);

HMODULE User32()
{
    return GetModuleHandleW(L"user32.dll");
}

void UnregisterWith(const char* name, HANDLE& notice)
{
    if (!notice)
        return;
    if (auto unregister = SystemFunction<UnregisterNotice>(User32(), name))
        unregister(notice);
    notice = nullptr;
}

}  // namespace

void PowerNotices::Register(HWND window) noexcept
{
    if (auto suspendResume = SystemFunction<RegisterSuspendResume>(User32(), "RegisterSuspendResumeNotification"))
        suspendResume_ = suspendResume(window, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (auto powerSetting = SystemFunction<RegisterPowerSetting>(User32(), "RegisterPowerSettingNotification")) {
        lidSwitch_ = powerSetting(window, &LIDSWITCH_STATE_CHANGE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE);
        powerSource_ = powerSetting(window, &ACDC_POWER_SOURCE_GUID, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
}

void PowerNotices::Unregister() noexcept
{
    UnregisterWith("UnregisterSuspendResumeNotification", suspendResume_);
    UnregisterWith("UnregisterPowerSettingNotification", lidSwitch_);
    UnregisterWith("UnregisterPowerSettingNotification", powerSource_);
}
