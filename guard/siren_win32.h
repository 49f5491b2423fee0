// The second siren: WAVE resource 132 of the program, looping until stopped,
// on one more device chosen by its endpoint id (waveOut), beside the one the
// guard dialog plays on the default device (StartSiren).
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <string>

// The looping siren on one waveOut device, open while it sounds; the guard
// dialog's.
struct DeviceSiren {
    HWAVEOUT wave = nullptr;
    WAVEHDR header = {};
    std::u16string endpoint;  // the one it sounds on; empty when silent
};

// Starting it on the endpoint it already sounds on changes nothing; on
// another, it moves there.
void StartSirenOn(DeviceSiren& siren, const std::u16string& endpoint) noexcept;
void StopSirenOn(DeviceSiren& siren) noexcept;
