#include "guard/give_back_win32.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "win32/system_function_win32.h"

namespace {

const GUID SYSTEM_BUTTON_SUBGROUP = {0x4F971E89, 0xEEBD, 0x4455, {0xA8, 0xDE, 0x9E, 0x59, 0x04, 0x0E, 0x73, 0x47}};
const GUID SLEEP_SUBGROUP = {0x238C9FA8, 0x0AAD, 0x41ED, {0x83, 0xF4, 0x97, 0xBE, 0x24, 0x2C, 0x8F, 0x20}};

struct PowerSettingPlace {
    const GUID* subgroup;
    GUID setting;
};

// In the order of HeldPowerSetting: GUID_LIDCLOSE_ACTION, GUID_POWERBUTTON_ACTION,
// GUID_SLEEPBUTTON_ACTION, and ALLOWSTANDBY (hidden, "Allow sleep states").
const PowerSettingPlace HELD_SETTINGS[HELD_POWER_SETTING_COUNT] = {
    {&SYSTEM_BUTTON_SUBGROUP, {0x5CA83367, 0x6E45, 0x459F, {0xA2, 0x7B, 0x47, 0x6B, 0x1D, 0x01, 0xC9, 0x36}}},
    {&SYSTEM_BUTTON_SUBGROUP, {0x7648EFA3, 0xDD9C, 0x4E3E, {0xB5, 0x66, 0x50, 0xF9, 0x29, 0x38, 0x62, 0x80}}},
    {&SYSTEM_BUTTON_SUBGROUP, {0x96996BC0, 0xAD50, 0x47EC, {0x92, 0x3B, 0x6F, 0x41, 0x87, 0x4D, 0xD9, 0xEB}}},
    {&SLEEP_SUBGROUP, {0xABFC2519, 0x3608, 0x4C2A, {0x94, 0xEA, 0x17, 0x1B, 0x0E, 0xD5, 0x46, 0xAB}}},
};
// By PowerSource, which is also the POWER_DATA_ACCESSOR of the access check:
// ACCESS_AC_POWER_SETTING_INDEX, ACCESS_DC_POWER_SETTING_INDEX.
const char* const READ_NAMES[POWER_SOURCE_COUNT] = {"PowerReadACValueIndex", "PowerReadDCValueIndex"};
const char* const WRITE_NAMES[POWER_SOURCE_COUNT] = {"PowerWriteACValueIndex", "PowerWriteDCValueIndex"};

GUID ToGuid(const PowerScheme& scheme)
{
    GUID guid;
    static_assert(sizeof guid == sizeof scheme, "a GUID is 16 bytes");
    std::memcpy(&guid, scheme.data(), sizeof guid);
    return guid;
}

class PowrprofPowerStore : public PowerStore {
public:
    bool ActiveScheme(PowerScheme& scheme) override
    {
        ScopedLocal<GUID> active;
        if (!Loaded() || !LogIfError(getActiveScheme_(nullptr, active.Receive()), "PowerGetActiveScheme") || !active)
            return false;
        std::memcpy(scheme.data(), active.Get(), scheme.size());
        return true;
    }

    bool ReadAction(const PowerScheme& scheme, HeldPowerSetting setting, PowerSource source, uint32_t& value) override
    {
        const GUID guid = ToGuid(scheme);
        const PowerSettingPlace& place = HELD_SETTINGS[setting];
        DWORD index = 0;
        if (!Loaded() ||
            !LogIfError(read_[source](nullptr, &guid, place.subgroup, &place.setting, &index), READ_NAMES[source]))
            return false;
        value = index;
        return true;
    }

    bool WriteAction(const PowerScheme& scheme, HeldPowerSetting setting, PowerSource source, uint32_t value) override
    {
        const GUID guid = ToGuid(scheme);
        const PowerSettingPlace& place = HELD_SETTINGS[setting];
        // A value that a policy sets cannot be changed by us, and should not be.
        return Loaded() &&
               (!accessCheck_ || LogIfError(accessCheck_(int(source), &place.setting), "PowerSettingAccessCheck")) &&
               LogIfError(write_[source](nullptr, &guid, place.subgroup, &place.setting, value), WRITE_NAMES[source]);
    }

    bool Apply(const PowerScheme& scheme) override
    {
        const GUID guid = ToGuid(scheme);
        return Loaded() && LogIfError(setActiveScheme_(nullptr, &guid), "PowerSetActiveScheme");
    }

private:
    // At the first call, not at start-up, where most starts find no record to
    // give back; from the system folder only, never from beside the program.
    bool Loaded()
    {
        if (std::exchange(tried_, true))
            return getActiveScheme_ != nullptr;
        module_.Reset(LoadLibraryExW(L"powrprof.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        getActiveScheme_ = SystemFunction<GetActiveScheme>(module_.Get(), "PowerGetActiveScheme");
        bool complete = getActiveScheme_ != nullptr;
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            read_[source] = SystemFunction<ReadValueIndex>(module_.Get(), READ_NAMES[source]);
            write_[source] = SystemFunction<WriteValueIndex>(module_.Get(), WRITE_NAMES[source]);
            complete = complete && read_[source] && write_[source];
        }
        setActiveScheme_ = SystemFunction<SetActiveScheme>(module_.Get(), "PowerSetActiveScheme");
        accessCheck_ = SystemFunction<AccessCheck>(module_.Get(), "PowerSettingAccessCheck");
        // Half a set would read what it cannot give back, or write what it never read.
        if (!complete || !setActiveScheme_) {
            getActiveScheme_ = nullptr;
            LogEvent("powrprof lacks the power scheme functions: arming will not hold the lid, the buttons or sleep.");
        }
        return getActiveScheme_ != nullptr;
    }

    using GetActiveScheme = DWORD(WINAPI*)(HKEY, GUID**);
    using ReadValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    using WriteValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    using SetActiveScheme = DWORD(WINAPI*)(HKEY, const GUID*);
    using AccessCheck = DWORD(WINAPI*)(int, const GUID*);

    bool tried_ = false;
    ScopedLibrary module_;
    GetActiveScheme getActiveScheme_ = nullptr;
    ReadValueIndex read_[POWER_SOURCE_COUNT] = {};  // by PowerSource
    WriteValueIndex write_[POWER_SOURCE_COUNT] = {};
    SetActiveScheme setActiveScheme_ = nullptr;
    AccessCheck accessCheck_ = nullptr;  // may be missing alone: then nothing counts as pinned
};

}  // namespace

std::unique_ptr<PowerStore> CreatePowrprofPowerStore()
{
    return std::make_unique<PowrprofPowerStore>();
}
