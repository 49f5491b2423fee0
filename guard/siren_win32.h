// The siren: WAVE resource 132 of the program, looping until stopped, on the
// default output device (PlaySoundW) and, beside it, on one more device
// chosen by its endpoint id (waveOut).
#pragma once

#include <string>

void StartSiren() noexcept;  // returns at once
void StopSiren() noexcept;

// On the guard thread only. Starting it on the endpoint it already sounds on
// changes nothing; on another, it moves there.
void StartSirenOn(const std::u16string& endpoint) noexcept;
void StopSirenOn() noexcept;
