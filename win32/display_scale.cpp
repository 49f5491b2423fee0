#include "win32/display_scale.h"

PictureRect ScaledPicture(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t dpi)
{
    const int64_t scale = dpi == 0 ? STANDARD_DPI : dpi;
    const auto scaled = [scale](int64_t pixels) { return int32_t((pixels * scale + STANDARD_DPI / 2) / STANDARD_DPI); };
    return {scaled(x), scaled(y), scaled(int64_t(x) + width) - scaled(x), scaled(int64_t(y) + height) - scaled(y)};
}
