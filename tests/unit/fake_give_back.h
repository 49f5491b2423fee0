// The power schemes in memory, for the give-back tests and fuzz target, and
// the record's values compared whole.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <utility>

#include "guard/give_back.h"

inline bool operator==(const SavedWord& a, const SavedWord& b)
{
    return a.value == b.value && a.saved == b.saved;
}
inline bool operator==(const SavedEndpointVolume& a, const SavedEndpointVolume& b)
{
    return a.id == b.id && a.volume == b.volume && a.volumeSaved == b.volumeSaved && a.muted == b.muted &&
           a.muteSaved == b.muteSaved;
}

class FakePowerStore : public PowerStore {
public:
    using Slot = std::pair<HeldPowerSetting, PowerSource>;
    const PowerScheme active = {{0x38, 0x1b}};
    bool hasActive = true;
    std::map<Slot, uint32_t> values;  // of the active scheme
    std::set<Slot> pinned;            // writes refused, as a policy does
    std::set<Slot> unreadable;
    std::map<Slot, uint32_t> inEffect;  // the values as the last Apply left them in force
    std::function<void()> beforeWrite = [] {};

    FakePowerStore()
    {
        for (size_t b = 0; b < HELD_POWER_SETTING_COUNT; ++b)
            for (size_t s = 0; s < POWER_SOURCE_COUNT; ++s)
                values[{HeldPowerSetting(b), PowerSource(s)}] = b == POWER_ALLOW_STANDBY ? 1 : uint32_t(1 + b);
        inEffect = values;
    }

    bool ActiveScheme(PowerScheme& scheme) override
    {
        scheme = active;
        return hasActive;
    }
    bool ReadAction(const PowerScheme& scheme, HeldPowerSetting button, PowerSource source, uint32_t& value) override
    {
        if (scheme != active || unreadable.count({button, source}))
            return false;
        value = values[{button, source}];
        return true;
    }
    bool WriteAction(const PowerScheme& scheme, HeldPowerSetting button, PowerSource source, uint32_t value) override
    {
        if (scheme != active || pinned.count({button, source}))
            return false;
        beforeWrite();
        values[{button, source}] = value;
        return true;
    }
    bool Apply(const PowerScheme& scheme) override
    {
        if (scheme == active)
            inEffect = values;
        return scheme == active;
    }
};
