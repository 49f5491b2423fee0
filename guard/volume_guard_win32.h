// The process's one VolumeGuard over winmm mixer device 0 and the default
// render endpoint. GetVolumeGuard does not return when the mixer cannot be
// opened: a "Sound Initializing error" box is shown and the process ends
// with -1.
#pragma once

#include <windows.h>

#include "guard/volume_guard.h"

// Created on first use (mixer device 0 opened without notifications).
VolumeGuard& GetVolumeGuard() noexcept;
// Reopens the mixer so that the window receives MM_MIXM_LINE_CHANGE and
// MM_MIXM_CONTROL_CHANGE; false when it would not open, and the caller ends
// with SoundFatal once the guard is down: the box belongs on the owner's
// desktop.
[[nodiscard]] bool TryOpenMixerWithWindow(HWND window) noexcept;
// Shows "Sound Initializing error" (on the given desktop when there is one)
// and ends the process with -1. The owner's settings are already on disk:
// the main thread writes each change as it is made.
[[noreturn]] void SoundFatal(HDESK showOn) noexcept;
// At start-up: the sound a process that died armed had forced, given back
// from its record by a mixer and an endpoint of its own.
void GiveBackLeftOverSound(const VolumeRecord& record);
