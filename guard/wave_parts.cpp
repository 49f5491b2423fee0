#include "guard/wave_parts.h"

#include <cstring>

namespace {

uint32_t Little32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

}  // namespace

bool FindWaveParts(const uint8_t* bytes, size_t size, WaveParts& parts)
{
    if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    bool data = false;
    size_t at = 12;
    while (size - at >= 8) {
        const size_t length = Little32(bytes + at + 4);
        const size_t body = at + 8;
        if (length > size - body)
            return false;
        if (std::memcmp(bytes + at, "fmt ", 4) == 0 && length >= 16) {
            parts.formatOffset = body;
            parts.formatSize = length;
            format = true;
        } else if (std::memcmp(bytes + at, "data", 4) == 0) {
            parts.dataOffset = body;
            parts.dataSize = length;
            data = true;
        }
        // Chunks are padded to an even length.
        at = body + length + (length & 1);
        if (at > size)
            break;
    }
    return format && data;
}
