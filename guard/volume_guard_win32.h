// The process's one VolumeGuard over winmm mixer device 0 and the default
// render endpoint. Neither call returns when the mixer cannot be opened: the
// settings are saved, a "Sound Initializing error" box is shown and the
// process ends with -1. Use these rather than VolumeGuard::OpenWithWindow,
// which throws.
#pragma once

#include <windows.h>

#include "guard/volume_guard.h"

// Created on first use (mixer device 0 opened without notifications).
VolumeGuard& GetVolumeGuard() noexcept;
// Reopens the mixer so that the window receives MM_MIXM_LINE_CHANGE and
// MM_MIXM_CONTROL_CHANGE.
void OpenMixerWithWindow(HWND window) noexcept;
