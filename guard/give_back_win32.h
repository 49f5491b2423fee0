// The process's give-back keeper over the real machine: the program's own key
// handle, powrprof, the accessibility hot keys, the mixer and Core Audio.
#pragma once

class VolumeGuard;

// At start-up, once the settings are loaded and before any dialog: what a
// record left by an armed process that never unlocked holds is given back.
// True when there was such a record.
bool GiveBackLeftOverRecord() noexcept;
// At arming, on the guard thread, before anything else changes: the owner's
// values saved, then sleep refused and the shortcut hot keys switched off;
// from then on each volume the alarm saves is added to the record.
void SaveAndChangeForArming(VolumeGuard& volume) noexcept;
// At unlock, after the alarm gave the sound back.
void GiveBackAtUnlock() noexcept;
