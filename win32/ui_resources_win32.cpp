#include "win32/ui_resources_win32.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "win32/data_resource_win32.h"
#include "win32/display_scale.h"
#include "win32/event_log_win32.h"
#include "win32/system_function_win32.h"

static_assert(STANDARD_DPI == USER_DEFAULT_SCREEN_DPI, "USER_DEFAULT_SCREEN_DPI");

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

void StartUiResources()
{
    // The progress class is asked for too: the account indicator is one;
    // and the settings dialog's hot-key control.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LINK_CLASS | ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&controls);
}

INT_PTR RunDialog(int templateId, HWND owner, DLGPROC procedure, LPARAM data) noexcept
{
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner, procedure, data);
    LogIfFalse(result != -1, "DialogBoxParamW");
    return result;
}

Picture LoadPicture(int resourceId)
{
    // GDI+ starts with the first picture (the warning's, or the lock's), not
    // with the program: the main dialog shows none. Never ended.
    static const bool started = [] {
        ULONG_PTR token = 0;
        GdiplusStartupInput input;  // version 1, no debug callback, codecs on
        return LogIfError(GdiplusStartup(&token, &input, nullptr), "GdiplusStartup");  // a Status: Ok is 0
    }();
    Picture picture;
    if (!started)
        return picture;
    const DataResource resource = FindDataResource(resourceId);
    if (resource.bytes)  // a copy: the stream is ours to keep
        picture.stream.Reset(SHCreateMemStream(static_cast<const BYTE*>(resource.bytes), resource.size));
    if (picture.stream && GdipCreateBitmapFromStream(picture.stream.Get(), picture.bitmap.Receive()) != Ok)
        picture.bitmap.Reset();
    return picture;
}

void PaintPicture(HWND window, const Picture& picture, int x, int y)
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    if (ScopedGdiplusGraphics graphics; picture.bitmap && GdipCreateFromHDC(dc, graphics.Receive()) == Ok) {
        UINT width = 0;
        UINT height = 0;
        GdipGetImageWidth(picture.bitmap.Get(), &width);
        GdipGetImageHeight(picture.bitmap.Get(), &height);
        // Windows 10 1607 and later only; older systems draw at 96 DPI.
        static const auto getDpiForWindow =
            SystemFunction<decltype(&GetDpiForWindow)>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
        // The dialog around the picture grows with the display scaling; the
        // picture and its place grow with it.
        const PictureRect place = ScaledPicture(x, y, width, height, getDpiForWindow ? getDpiForWindow(window) : 0);
        if (place.width != INT(width) || place.height != INT(height))
            GdipSetInterpolationMode(graphics.Get(), InterpolationModeHighQualityBicubic);
        GdipDrawImageRectI(graphics.Get(), picture.bitmap.Get(), place.x, place.y, place.width, place.height);
    }
    EndPaint(window, &paint);
}
