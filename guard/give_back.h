// Arming's changes to the machine, always given back: the owner's values are
// written to the give-back record before anything is changed, given back from
// memory at unlock, and from the record at the next start when the armed
// process never reached its unlock (killed, crashed, the session ended).
//
// Among them the lid-close, power-button and sleep-button actions of the
// active power scheme, and whether it allows sleep states at all. Idle sleep
// is held off by the execution state; the buttons, the lid and the power
// menu's Sleep (on the security screen and the lock screen too, where no hook
// reaches) are how an owner or a thief sends an armed laptop to sleep. So
// arming sets the actions to "Do nothing" and the sleep states to "not
// available", and unlock gives the owner's values back.
#pragma once

#include <functional>

#include "guard/give_back_record.h"
#include "settings/registry_key.h"

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
    // Leaves value as it was when it fails.
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

// One armed period's record. The key may be null (no settings key could be
// had): then nothing survives a crash, and arming still goes on.
class GiveBackKeeper {
public:
    GiveBackKeeper(RegistryKey* key, PowerStore& power) : key_(key), power_(power) {}

    // The owner's power actions and the shortcut hot keys that are on saved,
    // then sleep refused. False, changing nothing, when the record could not
    // be written (no key, a read-only key, a failed write): the caller then
    // leaves the shortcuts on as well. On true the caller switches them off.
    bool Arm(const ShortcutsCleared& shortcutsOn);
    // The volume guard saved more of the owner's sound and is about to force
    // it: the record is written again first.
    void VolumeSaved(const VolumeRecord& volume);
    // The hot keys arming had the caller switch off; it switches them on
    // again before Unlock.
    const ShortcutsCleared& ClearedShortcuts() const { return record_.shortcuts; }
    // After the volume guard gave the sound back and the shortcuts are back:
    // the power actions given back, and the record deleted.
    void Unlock();

private:
    bool Write();

    RegistryKey* key_;
    PowerStore& power_;
    GiveBackRecord record_;
};

// The record left by an earlier process that never unlocked: its power
// actions given back, then the rest (the shortcuts, the sound) by giveBackRest,
// and only then the value deleted, so that a start killed half-way gives the
// rest back at the next one. False when there was no whole record; a bad one
// is deleted without a thing given back.
bool GiveBackLeftOver(RegistryKey& key, PowerStore& power,
                      const std::function<void(const GiveBackRecord&)>& giveBackRest);
