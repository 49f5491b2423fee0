// GDI+ for our Win32 code. Its headers want min and max, which NOMINMAX
// keeps out of windows.h.
#pragma once

#include <windows.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>
