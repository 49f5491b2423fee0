// What the dialogs need: common controls, one runner, and the pictures
// through GDI+.
#pragma once

#include <windows.h>

#include "win32/gdiplus_win32.h"

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

// A dialog's WM_PAINT: the background is painted and validated first, then
// the picture drawn over it, so a later erase cannot wipe it out. Place and
// size are given at 96 DPI and scaled to the window's; a missing picture
// leaves its place empty.
void PaintPicture(HWND window, const Picture& picture, int x, int y);
