#include "app/display_scale.h"

uint32_t DpiOrStandard(uint32_t dpi)
{
    return dpi == 0 ? STANDARD_DPI : dpi;
}

int32_t ScaleToDpi(int32_t pixels, uint32_t dpi)
{
    const int64_t scaled = int64_t(pixels) * int64_t(DpiOrStandard(dpi));
    return int32_t((scaled + STANDARD_DPI / 2) / STANDARD_DPI);
}

PictureRect ScaledPicture(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t dpi)
{
    const int32_t left = ScaleToDpi(x, dpi);
    const int32_t top = ScaleToDpi(y, dpi);
    return {left, top, ScaleToDpi(int32_t(int64_t(x) + width), dpi) - left,
            ScaleToDpi(int32_t(int64_t(y) + height), dpi) - top};
}
