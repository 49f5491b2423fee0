// The give-back keeper over the real machine: the program's own key handle,
// powrprof, the accessibility hot keys, the Run value, the mixer and Core
// Audio.
#pragma once

#include <memory>

#include "guard/give_back.h"
#include "guard/volume_guard.h"
#include "settings/registry_store_win32.h"

// The power schemes through powrprof, loaded at run time: Wine lacks some of
// these functions, and where any is missing every call fails and arming goes
// on without them (guard/power_actions_win32.cpp).
std::unique_ptr<PowerStore> CreatePowrprofPowerStore();

// One arming's, owned by its guard dialog. A key handle of its own on the
// settings key: the settings record's handle is closed at the save at exit,
// which may come while the guard still runs.
struct GiveBackMachine {
    OpenedKey key = OpenSettingsKey();
    std::unique_ptr<PowerStore> power = CreatePowrprofPowerStore();
    GiveBackKeeper keeper{key.key.get(), *power};
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

// The accessibility shortcuts (five presses of Shift, holding right Shift,
// holding Num Lock) pass the keyboard filter, and their prompts lead into
// Settings. While armed the Sticky Keys, Filter Keys and Toggle Keys hot keys
// are off, through SystemParametersInfoW for this session only (no
// SPIF_UPDATEINIFILE: the owner's stored choice is never touched), and the
// owner's choice is given back at unlock.
//
// Which hot keys are on now (so which ones arming will switch off); one that
// cannot be read counts as off and is left alone.
ShortcutsCleared ShortcutHotKeysOn() noexcept;
// Switches each hot key named in which on or off.
void SetShortcutHotKeys(const ShortcutsCleared& which, bool active) noexcept;

// The program's value under the current user's Run key while there is work
// left for a later start: a guard that was killed, cut off or signed out
// while armed starts again at the next sign-in, gives back what arming
// changed, tells the owner's phone and arms again. Added at arming, before
// the give-back record is written and flushed with it (the program's path,
// quoted); removed when nothing is left to do: at unlock, or at a later
// start that did not arm again once no push message waits.
void RemoveAutostart() noexcept;
