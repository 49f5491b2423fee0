// The second siren: WAVE resource 132 of the program, looping until stopped,
// on one more device chosen by its endpoint id (waveOut), beside the one the
// guard dialog plays on the default device (StartSiren).
#pragma once

#include <string>

// On the guard thread only. Starting it on the endpoint it already sounds on
// changes nothing; on another, it moves there.
void StartSirenOn(const std::u16string& endpoint) noexcept;
void StopSirenOn() noexcept;
