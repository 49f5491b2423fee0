// Arming's changes to the machine, always given back: the owner's values are
// written to the give-back record before anything is changed, given back from
// memory at unlock, and from the record at the next start when the armed
// process never reached its unlock (killed, crashed, the session ended).
#pragma once

#include "guard/accessibility.h"
#include "guard/give_back_record.h"
#include "guard/power_actions.h"
#include "settings/registry_key.h"

// The sound, at start-up only: at unlock the volume guard gives it back itself.
class VolumeGiveBack {
public:
    virtual ~VolumeGiveBack() = default;
    virtual void GiveBackMixer(const std::array<SavedWord, MIXER_VALUE_COUNT>& mixer) = 0;
    virtual void GiveBackEndpoint(const SavedEndpointVolume& endpoint) = 0;
};

// One armed period's record. The key may be null (no settings key could be
// had): then nothing survives a crash, and arming still goes on.
class GiveBackKeeper {
public:
    GiveBackKeeper(RegistryKey* key, PowerStore& power, AccessibilityStore& accessibility);

    // The owner's actions and shortcuts saved, then sleep refused and the
    // shortcuts switched off. False, changing nothing, when the record could
    // not be written (no key, a read-only key, a failed write).
    bool Arm();
    // The volume guard saved more of the owner's sound and is about to force
    // it: the record is written again first.
    void VolumeSaved(const VolumeRecord& volume);
    // After the volume guard gave the sound back: the rest given back, and the
    // record deleted.
    void Unlock();

private:
    bool Write();

    RegistryKey* key_;
    PowerStore& power_;
    AccessibilityStore& accessibility_;
    GiveBackRecord record_;
};

// What the record left by an earlier process holds; true when there was a
// whole record. A bad one is deleted without a thing given back.
bool GiveBackLeftOver(RegistryKey& key, PowerStore& power, AccessibilityStore& accessibility,
                      VolumeGiveBack& volume);
