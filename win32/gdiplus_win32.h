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

using ScopedGdiplusBitmap = UniqueHandle<Gdiplus::GpBitmap*, Gdiplus::DllExports::GdipDisposeImage>;
using ScopedGdiplusGraphics = UniqueHandle<Gdiplus::GpGraphics*, Gdiplus::DllExports::GdipDeleteGraphics>;
