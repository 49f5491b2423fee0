// Where the format and the samples lie in a RIFF WAVE file held in memory
// (the siren resource), so the siren can be played on a device of choice and
// not only where PlaySoundW sends it.
#pragma once

#include <cstddef>
#include <cstdint>

struct WaveParts {
    size_t formatOffset = 0;  // the "fmt " chunk's body: a WAVEFORMAT and more
    size_t formatSize = 0;
    size_t dataOffset = 0;  // the "data" chunk's body: the samples
    size_t dataSize = 0;
};

// False unless the bytes are "RIFF" ... "WAVE" with a "fmt " chunk of at
// least 16 bytes and a "data" chunk, neither running past the end.
bool FindWaveParts(const uint8_t* bytes, size_t size, WaveParts& parts);
