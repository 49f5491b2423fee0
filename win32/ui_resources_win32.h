// What the dialogs draw with: common controls, and the pictures through GDI+.
#pragma once

#include "win32/gdiplus_win32.h"

// Common controls, at start on the main thread, for every dialog from then
// on; never ended.
void StartUiResources();

// A picture from the data resources, owned by the dialog that shows it; no
// bitmap when it cannot be read, and the dialog works without it.
struct Picture {
    ScopedComPtr<IStream> stream;  // GDI+ may read it again whenever it draws
    ScopedGdiplusBitmap bitmap;    // declared after its stream: disposed first
};
Picture LoadPicture(int resourceId);

// A dialog's WM_PAINT: the background is painted and validated first, then
// the picture drawn over it, so a later erase cannot wipe it out. Place and
// size are given at 96 DPI and scaled to the window's; a missing picture
// leaves its place empty.
void PaintPicture(HWND window, const Picture& picture, int x, int y);
