// The lid-close, power-button and sleep-button actions of the active power
// scheme. Idle sleep is held off by the execution state; these three are how
// an owner (or a thief) sends an armed laptop to sleep, so arming sets them to
// "Do nothing" and unlock gives the owner's values back.
#pragma once

#include <cstdint>

#include "guard/give_back_record.h"

constexpr uint32_t POWER_ACTION_DO_NOTHING = 0;

// The power schemes as powrprof offers them. Every call may fail: a function
// the system lacks, a value a policy pins, a refused write.
class PowerStore {
public:
    virtual ~PowerStore() = default;
    virtual bool ActiveScheme(PowerScheme& scheme) = 0;
    virtual bool ReadAction(const PowerScheme& scheme, PowerButton button, PowerSource source, uint32_t& value) = 0;
    // False, writing nothing, where a policy pins the value.
    virtual bool WriteAction(const PowerScheme& scheme, PowerButton button, PowerSource source, uint32_t value) = 0;
    // Makes the scheme's written values take effect.
    virtual bool Apply(const PowerScheme& scheme) = 0;
};

// The active scheme's six actions as they are now; nothing saved when there
// is no active scheme to be had.
PowerActionsRecord ReadPowerActions(PowerStore& store);
// "Do nothing" for every saved action that is not that already, then applied.
void RefusePowerSleep(PowerStore& store, const PowerActionsRecord& owner);
// The owner's saved actions written back; applied when the scheme is still the
// active one (another active scheme was chosen since and stays in effect).
void GiveBackPowerActions(PowerStore& store, const PowerActionsRecord& owner);
