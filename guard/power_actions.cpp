#include "guard/power_actions.h"

namespace {

bool IsActive(PowerStore& store, const PowerScheme& scheme)
{
    PowerScheme active = {};
    return store.ActiveScheme(active) && active == scheme;
}

}  // namespace

PowerActionsRecord ReadPowerActions(PowerStore& store)
{
    PowerActionsRecord record;
    if (!store.ActiveScheme(record.scheme))
        return PowerActionsRecord();
    for (size_t button = 0; button < POWER_BUTTON_COUNT; ++button)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            SavedWord& saved = record.actions[button][source];
            saved.saved = store.ReadAction(record.scheme, PowerButton(button), PowerSource(source), saved.value);
            if (!saved.saved)
                saved.value = 0;
        }
    return record;
}

void RefusePowerSleep(PowerStore& store, const PowerActionsRecord& owner)
{
    bool written = false;
    for (size_t button = 0; button < POWER_BUTTON_COUNT; ++button)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            const SavedWord& saved = owner.actions[button][source];
            if (saved.saved && saved.value != POWER_ACTION_DO_NOTHING)
                written |= store.WriteAction(owner.scheme, PowerButton(button), PowerSource(source),
                                             POWER_ACTION_DO_NOTHING);
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
    for (size_t button = 0; button < POWER_BUTTON_COUNT; ++button)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source) {
            const SavedWord& saved = owner.actions[button][source];
            if (saved.saved)
                written |= store.WriteAction(owner.scheme, PowerButton(button), PowerSource(source), saved.value);
        }
    if (written && IsActive(store, owner.scheme))
        store.Apply(owner.scheme);
}
