// The guard's VolumeGuard over winmm mixer device 0 and the default render
// endpoint through Core Audio, one for each arming, owned by the guard dialog.
#pragma once

#include <windows.h>

#include <memory>

#include "guard/volume_guard.h"

std::unique_ptr<MixerDevice> CreateWinmmMixerDevice();
// Where the system offers no render endpoint or does not implement the
// interface (Wine answers E_NOTIMPL), every call fails quietly. Attach and
// AttachTo start COM on the calling thread when it is not yet.
std::unique_ptr<AudioEndpoint> CreateCoreAudioEndpoint();

// Opens the mixer so that the window receives MM_MIXM_LINE_CHANGE and
// MM_MIXM_CONTROL_CHANGE (none for a null window) and reaches the endpoint;
// null when the mixer would not open, and the caller ends with SoundFatal
// once the guard is down: the box belongs on the owner's desktop.
std::unique_ptr<VolumeGuard> OpenVolumeGuard(HWND window);
// Shows "Sound Initializing error" (on the given desktop when there is one)
// and ends the process with -1. The owner's settings are already on disk:
// the main thread writes each change as it is made.
[[noreturn]] void SoundFatal(HDESK showOn) noexcept;
