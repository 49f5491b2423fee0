#include "guard/power_actions.h"

namespace {

bool IsActive(PowerStore& store, const PowerScheme& scheme)
{
    PowerScheme active = {};
    return store.ActiveScheme(active) && active == scheme;
}

}  // namespace

uint32_t HeldPowerValue(HeldPowerSetting setting)
{
    return setting == POWER_ALLOW_STANDBY ? POWER_SLEEP_STATES_OFF : POWER_ACTION_DO_NOTHING;
}

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
    bool written = false;
    for (size_t setting = 0; setting < HELD_POWER_SETTING_COUNT; ++setting)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            const SavedWord& saved = owner.actions[setting][source];
            const uint32_t held = HeldPowerValue(HeldPowerSetting(setting));
            if (saved.saved && saved.value != held)
                written |= store.WriteAction(owner.scheme, HeldPowerSetting(setting), PowerSource(source), held);
        }
    // Arming goes on whatever failed: the events still sound the alarm.
    if (written)
        store.Apply(owner.scheme);
}

void GiveBackPowerActions(PowerStore& store, const PowerActionsRecord& owner)
{
    if (!owner.Any())
        return;
    bool written = false;
    for (size_t setting = 0; setting < HELD_POWER_SETTING_COUNT; ++setting)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            const SavedWord& saved = owner.actions[setting][source];
            if (saved.saved)
                written |= store.WriteAction(owner.scheme, HeldPowerSetting(setting), PowerSource(source), saved.value);
        }
    if (written && IsActive(store, owner.scheme))
        store.Apply(owner.scheme);
}
