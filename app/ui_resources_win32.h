// The process-wide UI resources: GDI+, the two pictures the program draws
// itself.
#pragma once

#include "win32/gdiplus_win32.h"

struct CUiResources {
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GpBitmap* lockPicture = nullptr;
    Gdiplus::GpBitmap* warningPicture = nullptr;
};

// Created on the first call: common controls, GDI+, pictures 150 and 148.
// Never destroyed.
CUiResources& GetUiResources();

// A dialog's WM_PAINT: the background is painted and validated first, then
// the picture drawn over it, so a later erase cannot wipe it out. Place and
// size are given at 96 DPI and scaled to the window's; a missing picture
// leaves its place empty.
void PaintPicture(HWND window, Gdiplus::GpBitmap* picture, int x, int y);
