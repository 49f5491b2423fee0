#include "app/ui_resources_win32.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "win32/data_resource_win32.h"
#include "app/display_scale.h"
#include "win32/system_function_win32.h"
#include "resources/resource_ids.h"

static_assert(STANDARD_DPI == USER_DEFAULT_SCREEN_DPI, "USER_DEFAULT_SCREEN_DPI");

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// Decodes bytes copied into a movable block. The block stays locked for the
// bitmap's lifetime: GDI+ may read the stream again whenever it draws.
GpBitmap* BitmapFromCopy(const void* bytes, DWORD size)
{
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return nullptr;
    void* copy = GlobalLock(block.Get());
    if (!copy)
        return nullptr;
    std::memcpy(copy, bytes, size);

    ScopedGdiplusBitmap bitmap;
    {
        ScopedComPtr<IStream> stream;
        if (SUCCEEDED(CreateStreamOnHGlobal(block.Get(), FALSE, stream.Receive()))) {
            if (GdipCreateBitmapFromStream(stream.Get(), bitmap.Receive()) != Ok)
                bitmap.Reset();
        }
    }
    if (!bitmap) {
        GlobalUnlock(block.Get());
        return nullptr;
    }
    block.Take();  // kept, locked, for as long as the bitmap lives
    return bitmap.Take();
}

// A picture that cannot be read leaves its place empty; the dialogs work
// without it.
GpBitmap* LoadResourcePicture(int resourceId)
{
    const DataResource resource = FindDataResource(resourceId);
    return resource.bytes ? BitmapFromCopy(resource.bytes, resource.size) : nullptr;
}

CUiResources* CreateUiResources()
{
    auto* resources = new CUiResources;
    // The progress class is asked for too: the account indicator is one.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    GdiplusStartupInput input;  // version 1, no debug callback, codecs on
    GdiplusStartup(&resources->gdiplusToken, &input, nullptr);

    resources->warningPicture = LoadResourcePicture(IDR_WARNING_PICTURE);
    resources->lockPicture = LoadResourcePicture(IDR_LOCK_PICTURE);
    return resources;
}

}  // namespace

CUiResources& GetUiResources()
{
    static CUiResources* resources = CreateUiResources();
    return *resources;
}

void PaintPicture(HWND window, GpBitmap* picture, int x, int y)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    if (!picture)
        return;
    UINT width = 0;
    UINT height = 0;
    GdipGetImageWidth(picture, &width);
    GdipGetImageHeight(picture, &height);
    // Windows 10 1607 and later only; older systems draw at 96 DPI.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        SystemFunction<GetDpiForWindowFunction>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    // The dialog around the picture grows with the display scaling; the
    // picture and its place grow with it.
    const PictureRect place =
        ScaledPicture(x, y, width, height, DpiOrStandard(getDpiForWindow ? getDpiForWindow(window) : 0));
    const ScopedWindowDC dc(window);
    ScopedGdiplusGraphics graphics;
    if (GdipCreateFromHDC(dc.Get(), graphics.Receive()) == Ok) {
        if (place.width != INT(width) || place.height != INT(height))
            GdipSetInterpolationMode(graphics.Get(), InterpolationModeHighQualityBicubic);
        GdipDrawImageRectI(graphics.Get(), picture, place.x, place.y, place.width, place.height);
    }
}
