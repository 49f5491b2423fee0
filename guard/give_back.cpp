#include "guard/give_back.h"

#include <string>

#include "win32/event_log.h"

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

// The owner's saved settings written back; applied when the scheme is still
// the active one (another active scheme was chosen since and stays in effect).
void GiveBackPowerActions(PowerStore& store, const PowerActionsRecord& owner)
{
    PowerScheme active = {};
    if (WriteSaved(store, owner, false) && store.ActiveScheme(active) && active == owner.scheme)
        store.Apply(owner.scheme);
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
        }
    return record;
}

bool GiveBackKeeper::Write()
{
    if (!key_)
        return false;
    const uint32_t error = key_->Write(GIVE_BACK_VALUE_NAME,
                                       RegistryValue{REGISTRY_TYPE_BINARY, EncodeGiveBackRecord(record_)},
                                       TextWidth::Wide);
    if (error != 0)
        LogEvent("The give-back record could not be written (error " + std::to_string(error) + ")");
    return error == 0;
}

bool GiveBackKeeper::Arm(const ShortcutsCleared& shortcutsOn)
{
    record_ = GiveBackRecord();
    record_.power = ReadPowerActions(power_);
    record_.shortcuts = shortcutsOn;
    // A change whose record is not on disk would outlive a crash for good
    // (the lid left at "Do nothing"): without one, nothing is changed.
    if (!Write()) {
        record_ = GiveBackRecord();
        return false;
    }
    // The record and the power scheme live in different hives and reach the
    // disk independently: a power cut must not find the scheme changed and
    // the record still in memory.
    if (const uint32_t error = key_->Flush())
        LogEvent("The give-back record could not be flushed (error " + std::to_string(error) + ")");
    // Arming goes on whatever failed: the events still sound the alarm.
    if (WriteSaved(power_, record_.power, true))
        power_.Apply(record_.power.scheme);
    return true;
}

void GiveBackKeeper::VolumeSaved(const VolumeRecord& volume)
{
    record_.volume = volume;
    // The siren is forced loud whether or not this write works: the alarm
    // matters more than the owner's volume after a crash.
    Write();
}

void GiveBackKeeper::Unlock()
{
    GiveBackPowerActions(power_, record_.power);
    record_ = GiveBackRecord();
    if (key_)
        key_->Delete(GIVE_BACK_VALUE_NAME);
}

bool GiveBackLeftOver(RegistryKey& key, PowerStore& power,
                      const std::function<void(const GiveBackRecord&)>& giveBackRest)
{
    std::optional<RegistryValue> value = key.Read(GIVE_BACK_VALUE_NAME, GIVE_BACK_RECORD_MAX_BYTES, TextWidth::Wide);
    std::optional<GiveBackRecord> record;
    if (value && value->type == REGISTRY_TYPE_BINARY)
        record = DecodeGiveBackRecord(value->bytes);
    if (record) {
        LogEvent("Gave back the power, shortcut and sound settings of a run that ended while armed "
                 "(it crashed, was ended, or the session ended)");
        GiveBackPowerActions(power, record->power);
        giveBackRest(*record);
    }
    // Given back, or not ours to read (too large, wrong type, bad bytes):
    // gone either way.
    key.Delete(GIVE_BACK_VALUE_NAME);
    return record.has_value();
}
