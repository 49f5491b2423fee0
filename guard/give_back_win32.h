// The give-back keeper over the real machine: the program's own key handle,
// powrprof, the accessibility hot keys, the mixer and Core Audio.
#pragma once

#include <memory>

#include "guard/give_back.h"
#include "guard/power_actions_win32.h"
#include "guard/volume_guard.h"

// One arming's, owned by its guard dialog. A key handle of its own on the
// settings key: the settings record's handle is closed at the save at exit,
// which may come while the guard still runs.
struct GiveBackMachine {
    OpenedKey key;
    std::unique_ptr<PowerStore> power = CreatePowrprofPowerStore();
    GiveBackKeeper keeper{key.key.get(), *power};
    GiveBackMachine();
};

// At start-up, once the settings are loaded and before any dialog: what a
// record left by an armed process that never unlocked holds is given back.
// True when there was such a record.
bool GiveBackLeftOverRecord() noexcept;
// At arming, on the guard thread, before anything else changes: the owner's
// values saved, then sleep refused and the shortcut hot keys switched off;
// from then on each volume the alarm saves is added to the record, so the
// machine outlives the volume's use. Null only when out of memory before
// anything changed.
std::unique_ptr<GiveBackMachine> SaveAndChangeForArming(VolumeGuard& volume) noexcept;
// At unlock, after the alarm gave the sound back; nothing for a null machine.
void GiveBackAtUnlock(GiveBackMachine* machine) noexcept;
