// The siren: WAVE resource 132 of the program, looping until stopped.
#pragma once

void StartSiren() noexcept;  // returns at once
void StopSiren() noexcept;
