// What the dialogs need: common controls, one runner, and the pictures
// through GDI+, with owners for its flat-API objects.
#pragma once

#include <windows.h>

// GDI+'s headers want min and max, which NOMINMAX keeps out of windows.h.
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

// Common controls, at start on the main thread, for every dialog from then
// on; never ended.
void StartUiResources();

// Every modal dialog: template id from this program's resources, data as
// WM_INITDIALOG's lParam. Returns what EndDialog was given, or -1 when the
// dialog never opened (logged here with its error).
INT_PTR RunDialog(int templateId, HWND owner, DLGPROC procedure, LPARAM data) noexcept;

// A picture from the data resources, owned by the dialog that shows it; no
// bitmap when it cannot be read, and the dialog works without it.
struct Picture {
    ScopedComPtr<IStream> stream;  // GDI+ may read it again whenever it draws
    ScopedGdiplusBitmap bitmap;    // declared after its stream: disposed first
};
Picture LoadPicture(int resourceId);

// A dialog's WM_PAINT: the picture drawn over the background that
// BeginPaint erased, the window validated by EndPaint. Place and size are
// given at 96 DPI and scaled to the window's; a missing picture leaves its
// place empty.
void PaintPicture(HWND window, const Picture& picture, int x, int y);
