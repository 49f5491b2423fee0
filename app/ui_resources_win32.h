// The process-wide UI resources: GDI+, the two pictures the program draws
// itself.
#pragma once

#include "win32/gdiplus_win32.h"

class CUiResources {
public:
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GpBitmap* lockPicture = nullptr;
    Gdiplus::GpBitmap* warningPicture = nullptr;
};

// Created on the first call: common controls, GDI+, pictures 150 and 148.
// Never destroyed.
CUiResources& GetUiResources();

// A GDI+ bitmap of a "data" resource of this program, or null when it is
// missing or is not a picture.
Gdiplus::GpBitmap* LoadResourcePicture(int resourceId);

// The window's dots per inch: GetDpiForWindow where the system has it,
// else 96.
UINT WindowDpi(HWND window);

// Draws the picture at (x, y) of the window's client area at its own size,
// both given at 96 DPI and scaled to the window's DPI.
void DrawPicture(int x, int y, Gdiplus::GpBitmap* picture, HWND window);

// A dialog's WM_PAINT: the background is painted and validated first, then
// the picture drawn over it, so a later erase cannot wipe it out.
void PaintPicture(HWND window, Gdiplus::GpBitmap* picture, int x, int y);
