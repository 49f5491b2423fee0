// Both sirens: WAVE resource 132 of the program, looping until stopped, on
// the default device (PlaySoundW), and on one more device chosen by its
// endpoint id (waveOut).
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <string>

// The siren on the default device, from the guard thread; returns at once.
void StartSiren() noexcept;
void StopSiren() noexcept;

// The looping siren on one waveOut device, open while it sounds; the guard
// dialog's.
struct DeviceSiren {
    HWAVEOUT wave = nullptr;
    WAVEHDR header = {};
    std::u16string endpoint;  // the one it sounds on; empty when silent
};

// Starting it on the endpoint it already sounds on changes nothing; on
// another, it moves there.
void StartSirenOn(DeviceSiren& siren, const std::u16string& endpoint);
void StopSirenOn(DeviceSiren& siren) noexcept;
