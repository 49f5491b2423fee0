// A Windows GUID from the bytes the portable filter compares, so the class or
// setting a window registers for and the one the filter tests cannot differ.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

// The bytes as a GUID lies in memory: the first three fields little-endian.
constexpr GUID GuidFromBytes(const std::array<uint8_t, 16>& b)
{
    return {DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24,
            WORD(b[4] | b[5] << 8),
            WORD(b[6] | b[7] << 8),
            {b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]}};
}
