// The power schemes through powrprof, loaded at run time: Wine lacks some of
// these functions, and where any is missing every call fails and arming goes
// on without them.
#pragma once

#include <windows.h>

#include "win32/scoped_win32.h"
#include "guard/power_actions.h"

class PowrprofPowerStore : public PowerStore {
public:
    PowrprofPowerStore();  // not copied: it owns the module (ScopedLibrary)

    bool ActiveScheme(PowerScheme& scheme) override;
    bool ReadAction(const PowerScheme& scheme, HeldPowerSetting setting, PowerSource source, uint32_t& value) override;
    bool WriteAction(const PowerScheme& scheme, HeldPowerSetting setting, PowerSource source, uint32_t value) override;
    bool Apply(const PowerScheme& scheme) override;

private:
    using GetActiveScheme = DWORD(WINAPI*)(HKEY, GUID**);
    using ReadValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    using WriteValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    using SetActiveScheme = DWORD(WINAPI*)(HKEY, const GUID*);
    using AccessCheck = DWORD(WINAPI*)(int, const GUID*);

    ScopedLibrary module_;
    GetActiveScheme getActiveScheme_ = nullptr;
    ReadValueIndex read_[POWER_SOURCE_COUNT] = {};  // by PowerSource
    WriteValueIndex write_[POWER_SOURCE_COUNT] = {};
    SetActiveScheme setActiveScheme_ = nullptr;
    AccessCheck accessCheck_ = nullptr;  // may be missing alone: then nothing counts as pinned
};
