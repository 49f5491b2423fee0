#include "guard/power_actions.h"

namespace {

// Each saved setting written, held or the owner's own; true when any write took.
bool WriteSaved(PowerStore& store, const PowerActionsRecord& owner, bool hold)
{
    bool written = false;
    for (size_t setting = 0; setting < HELD_POWER_SETTING_COUNT; ++setting)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            const SavedWord& saved = owner.actions[setting][source];
            if (saved.saved && !(hold && saved.value == POWER_ACTION_DO_NOTHING))
                written |= store.WriteAction(owner.scheme, HeldPowerSetting(setting), PowerSource(source),
                                             hold ? POWER_ACTION_DO_NOTHING : saved.value);
        }
    return written;
}

}  // namespace

PowerActionsRecord ReadPowerActions(PowerStore& store)
{
    PowerActionsRecord record;
    if (!store.ActiveScheme(record.scheme))
        return PowerActionsRecord();
    for (size_t setting = 0; setting < HELD_POWER_SETTING_COUNT; ++setting)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            SavedWord& saved = record.actions[setting][source];
            saved.saved = store.ReadAction(record.scheme, HeldPowerSetting(setting), PowerSource(source), saved.value);
            if (!saved.saved)
                saved.value = 0;
        }
    return record;
}

void RefusePowerSleep(PowerStore& store, const PowerActionsRecord& owner)
{
    // Arming goes on whatever failed: the events still sound the alarm.
    if (WriteSaved(store, owner, true))
        store.Apply(owner.scheme);
}

void GiveBackPowerActions(PowerStore& store, const PowerActionsRecord& owner)
{
    PowerScheme active = {};
    if (WriteSaved(store, owner, false) && store.ActiveScheme(active) && active == owner.scheme)
        store.Apply(owner.scheme);
}
