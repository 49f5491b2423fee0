// The process's one VolumeGuard over winmm mixer device 0 and the default
// render endpoint. Neither call returns when the mixer cannot be opened: a
// "Sound Initializing error" box is shown and the process ends with -1. Use
// these rather than VolumeGuard::OpenWithWindow, which throws.
#pragma once

#include <windows.h>

#include "guard/volume_guard.h"

// Created on first use (mixer device 0 opened without notifications).
VolumeGuard& GetVolumeGuard() noexcept;
// Reopens the mixer so that the window receives MM_MIXM_LINE_CHANGE and
// MM_MIXM_CONTROL_CHANGE.
void OpenMixerWithWindow(HWND window) noexcept;
// The same, but false instead of the fatal error, for a caller that must
// first take the guard down: the box belongs on the owner's desktop.
bool TryOpenMixerWithWindow(HWND window) noexcept;
// Shows "Sound Initializing error" (on the given desktop when there is one)
// and ends the process with -1. The owner's settings are already on disk:
// the main thread writes each change as it is made.
[[noreturn]] void SoundFatal(HDESK showOn) noexcept;
