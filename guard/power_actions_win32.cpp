#include "guard/power_actions_win32.h"
#include "app/event_log_win32.h"

#include <cstring>
#include <string>

#include "app/scoped_win32.h"
#include "app/system_function_win32.h"

namespace {

const GUID SYSTEM_BUTTON_SUBGROUP = {0x4F971E89, 0xEEBD, 0x4455, {0xA8, 0xDE, 0x9E, 0x59, 0x04, 0x0E, 0x73, 0x47}};
const GUID BUTTON_SETTINGS[POWER_BUTTON_COUNT] = {
    {0x5CA83367, 0x6E45, 0x459F, {0xA2, 0x7B, 0x47, 0x6B, 0x1D, 0x01, 0xC9, 0x36}},  // GUID_LIDCLOSE_ACTION
    {0x7648EFA3, 0xDD9C, 0x4E3E, {0xB5, 0x66, 0x50, 0xF9, 0x29, 0x38, 0x62, 0x80}},  // GUID_POWERBUTTON_ACTION
    {0x96996BC0, 0xAD50, 0x47EC, {0x92, 0x3B, 0x6F, 0x41, 0x87, 0x4D, 0xD9, 0xEB}},  // GUID_SLEEPBUTTON_ACTION
};
// POWER_DATA_ACCESSOR: ACCESS_AC_POWER_SETTING_INDEX, ACCESS_DC_POWER_SETTING_INDEX.
constexpr int ACCESSORS[POWER_SOURCE_COUNT] = {0, 1};

GUID ToGuid(const PowerScheme& scheme)
{
    GUID guid;
    static_assert(sizeof guid == sizeof scheme, "a GUID is 16 bytes");
    std::memcpy(&guid, scheme.data(), sizeof guid);
    return guid;
}

// From the system folder only, never from beside the program.
HMODULE LoadPowrprof()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return LoadLibraryW((std::wstring(folder) + L"\\powrprof.dll").c_str());
}

}  // namespace

PowrprofPowerStore::PowrprofPowerStore() : module_(LoadPowrprof())
{
    getActiveScheme_ = SystemFunction<GetActiveScheme>(module_.Get(), "PowerGetActiveScheme");
    readAc_ = SystemFunction<ReadValueIndex>(module_.Get(), "PowerReadACValueIndex");
    readDc_ = SystemFunction<ReadValueIndex>(module_.Get(), "PowerReadDCValueIndex");
    writeAc_ = SystemFunction<WriteValueIndex>(module_.Get(), "PowerWriteACValueIndex");
    writeDc_ = SystemFunction<WriteValueIndex>(module_.Get(), "PowerWriteDCValueIndex");
    setActiveScheme_ = SystemFunction<SetActiveScheme>(module_.Get(), "PowerSetActiveScheme");
    accessCheck_ = SystemFunction<AccessCheck>(module_.Get(), "PowerSettingAccessCheck");
    // Half a set would read what it cannot give back, or write what it never read.
    if (!getActiveScheme_ || !readAc_ || !readDc_ || !writeAc_ || !writeDc_ || !setActiveScheme_)
        getActiveScheme_ = nullptr;
}

bool PowrprofPowerStore::ActiveScheme(PowerScheme& scheme)
{
    ScopedLocal<GUID> active;
    if (!getActiveScheme_ || getActiveScheme_(nullptr, active.Receive()) != ERROR_SUCCESS || !active)
        return false;
    std::memcpy(scheme.data(), active.Get(), scheme.size());
    return true;
}

bool PowrprofPowerStore::ReadAction(const PowerScheme& scheme, PowerButton button, PowerSource source,
                                    uint32_t& value)
{
    if (!getActiveScheme_)
        return false;
    const GUID guid = ToGuid(scheme);
    DWORD index = 0;
    ReadValueIndex read = source == POWER_ON_AC ? readAc_ : readDc_;
    if (read(nullptr, &guid, &SYSTEM_BUTTON_SUBGROUP, &BUTTON_SETTINGS[button], &index) != ERROR_SUCCESS)
        return false;
    value = index;
    return true;
}

bool PowrprofPowerStore::WriteAction(const PowerScheme& scheme, PowerButton button, PowerSource source,
                                     uint32_t value)
{
    if (!getActiveScheme_)
        return false;
    // A value that a policy sets cannot be changed by us, and should not be.
    if (accessCheck_ && accessCheck_(ACCESSORS[source], &BUTTON_SETTINGS[button]) != ERROR_SUCCESS)
        return false;
    const GUID guid = ToGuid(scheme);
    WriteValueIndex write = source == POWER_ON_AC ? writeAc_ : writeDc_;
    const DWORD result = write(nullptr, &guid, &SYSTEM_BUTTON_SUBGROUP, &BUTTON_SETTINGS[button], value);
    if (result != ERROR_SUCCESS)
        LogFailedCall(source == POWER_ON_AC ? "PowerWriteACValueIndex" : "PowerWriteDCValueIndex", result);
    return result == ERROR_SUCCESS;
}

bool PowrprofPowerStore::Apply(const PowerScheme& scheme)
{
    if (!getActiveScheme_)
        return false;
    const GUID guid = ToGuid(scheme);
    const DWORD result = setActiveScheme_(nullptr, &guid);
    if (result != ERROR_SUCCESS)
        LogFailedCall("PowerSetActiveScheme", result);
    return result == ERROR_SUCCESS;
}
