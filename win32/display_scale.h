// Pictures follow the display scaling: a place and size given for the
// standard 96 dots per inch, scaled to a window's own DPI.
#pragma once

#include <cstdint>

constexpr uint32_t STANDARD_DPI = 96;

struct PictureRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Where a picture of width x height pixels, placed at (x, y) at 96 DPI, is
// drawn at dpi: both corners scaled and rounded to the nearest pixel (halves
// up), so pictures that meet still meet. A dpi of 0 (the call is missing
// before Windows 10 1607, or the window is gone) draws as at 96.
inline PictureRect ScaledPicture(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t dpi)
{
    const int64_t scale = dpi == 0 ? STANDARD_DPI : dpi;
    const auto scaled = [scale](int64_t pixels) { return int32_t((pixels * scale + STANDARD_DPI / 2) / STANDARD_DPI); };
    return {scaled(x), scaled(y), scaled(int64_t(x) + width) - scaled(x), scaled(int64_t(y) + height) - scaled(y)};
}
