// The lid-close, power-button and sleep-button actions of the active power
// scheme, and whether it allows sleep states at all. Idle sleep is held off by
// the execution state; the buttons, the lid and the power menu's Sleep (on the
// security screen and the lock screen too, where no hook reaches) are how an
// owner or a thief sends an armed laptop to sleep. So arming sets the actions
// to "Do nothing" and the sleep states to "not available", and unlock gives
// the owner's values back.
#pragma once

#include <cstdint>

#include "guard/give_back_record.h"

// The value every held setting has while armed: "Do nothing" for the
// actions, and for the sleep states the same 0, "Sleep states (ACPI S1, S2,
// and S3) are not available".
constexpr uint32_t POWER_ACTION_DO_NOTHING = 0;

// The power schemes as powrprof offers them. Every call may fail: a function
// the system lacks, a value a policy pins, a refused write.
class PowerStore {
public:
    virtual ~PowerStore() = default;
    virtual bool ActiveScheme(PowerScheme& scheme) = 0;
    virtual bool ReadAction(const PowerScheme& scheme, HeldPowerSetting setting, PowerSource source,
                            uint32_t& value) = 0;
    // False, writing nothing, where a policy pins the value.
    virtual bool WriteAction(const PowerScheme& scheme, HeldPowerSetting setting, PowerSource source,
                             uint32_t value) = 0;
    // Makes the scheme's written values take effect.
    virtual bool Apply(const PowerScheme& scheme) = 0;
};

// The active scheme's held settings as they are now; nothing saved when there
// is no active scheme to be had.
PowerActionsRecord ReadPowerActions(PowerStore& store);
// The held value for every saved setting that does not have it already, then
// applied.
void RefusePowerSleep(PowerStore& store, const PowerActionsRecord& owner);
// The owner's saved settings written back; applied when the scheme is still the
// active one (another active scheme was chosen since and stays in effect).
void GiveBackPowerActions(PowerStore& store, const PowerActionsRecord& owner);
