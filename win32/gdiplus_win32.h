// GDI+ for our Win32 code, and owners for its flat-API objects. Its headers
// want min and max, which NOMINMAX keeps out of windows.h.
#pragma once

#include <windows.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include "win32/scoped_win32.h"

struct GdiplusImageCloser {
    static void Close(Gdiplus::GpImage* image) noexcept { Gdiplus::DllExports::GdipDisposeImage(image); }
};
struct GdiplusGraphicsCloser {
    static void Close(Gdiplus::GpGraphics* graphics) noexcept { Gdiplus::DllExports::GdipDeleteGraphics(graphics); }
};
using ScopedGdiplusBitmap = UniqueHandle<Gdiplus::GpBitmap*, GdiplusImageCloser>;
using ScopedGdiplusGraphics = UniqueHandle<Gdiplus::GpGraphics*, GdiplusGraphicsCloser>;
