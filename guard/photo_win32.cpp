#include "guard/photo_win32.h"

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

#include "online/push_sender_win32.h"
#include "win32/detached_thread_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"

namespace {

constexpr int PHOTOS_PER_ALARM = 6;
constexpr DWORD PHOTO_EVERY_MS = 10000;
constexpr ULONGLONG FIRST_FRAME_MS = 5000;
constexpr LONGLONG SETTLING = 10000000;  // 1 s in 100 ns: the frame kept comes after auto-exposure settles
constexpr UINT WIDEST = 1280;
constexpr size_t LARGEST_JPEG = 2 << 20;  // WeCom takes less than 2 MB

const GUID VIDEO_CAPTURE = MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID;

// Every function called from these DLLs, which load at their first call, is
// in them since Windows 7; a missing DLL would end the process there.
const wchar_t* const MEDIA_FOUNDATION[] = {L"mfplat.dll", L"mf.dll", L"mfreadwrite.dll"};

// A photo's first failed call, logged with its HRESULT as it fails; the
// owner is told the reason in words where it is a common one.
struct Failure {
    HRESULT hr = S_OK;
    const char* call = nullptr;
    bool Ok(HRESULT result, const char* name)
    {
        if (LogIfFailed(result, name))
            return true;
        std::tie(hr, call) = std::tie(result, name);
        return false;
    }
    std::string Reason() const
    {
        const char* const inUse = "the camera is in use by another program";
        const std::pair<HRESULT, const char*> known[] = {{MF_E_NOT_FOUND, "no camera was found"},
            {HRESULT_FROM_WIN32(ERROR_TIMEOUT), "the camera gave no picture within 5 seconds"},
            {E_ACCESSDENIED, "the privacy settings do not let desktop apps use the camera"},
            {MF_E_HW_MFT_FAILED_START_STREAMING, inUse}, {HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), inUse},
            {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "this Windows has no Media Foundation (an N edition)"}};
        const char* words = "the camera could not be read";
        for (const auto& [code, said] : known)
            words = code == hr ? said : words;
        char text[256];
        std::snprintf(text, sizeof text, "%s (%s: 0x%08lX)", words, call, static_cast<unsigned long>(hr));
        return text;
    }
};

// A frame as WIC takes it: rows top-down, 4 bytes a pixel (blue, green, red, unused).
struct Frame {
    UINT32 width = 0, height = 0;
    std::vector<BYTE> pixels;
};

// The source reader on the first camera, or on the stand-in camera's file;
// source: the camera, for the caller to shut down.
bool OpenReader(ScopedComPtr<IMFSourceReader>& reader, ScopedComPtr<IMFMediaSource>& source, Failure& failed)
{
    ScopedComPtr<IMFAttributes> options, wanted;
    if (!failed.Ok(MFCreateAttributes(options.Receive(), 1), "MFCreateAttributes") ||
        !failed.Ok(options.Get()->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE), "SetUINT32"))
        return false;
    wchar_t file[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"KESTROVA_CAMERA_FILE", file, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return failed.Ok(MFCreateSourceReaderFromURL(file, options.Get(), reader.Receive()), "MFCreateSourceReader");
    IMFActivate** devices = nullptr;
    UINT32 count = 0;
    if (!failed.Ok(MFCreateAttributes(wanted.Receive(), 1), "MFCreateAttributes") ||
        !failed.Ok(wanted.Get()->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, VIDEO_CAPTURE), "SetGUID") ||
        !failed.Ok(MFEnumDeviceSources(wanted.Get(), &devices, &count), "MFEnumDeviceSources"))
        return false;
    const ScopedCoTaskMem<IMFActivate*> list(devices);
    std::vector<ScopedComPtr<IMFActivate>> each(devices, devices + count);
    return failed.Ok(count ? S_OK : MF_E_NOT_FOUND, "MFEnumDeviceSources") &&
           failed.Ok(devices[0]->ActivateObject(IID_PPV_ARGS(source.Receive())), "ActivateObject") &&
           failed.Ok(MFCreateSourceReaderFromMediaSource(source.Get(), options.Get(), reader.Receive()),
                     "MFCreateSourceReader");
}

// Frames in RGB32 for about a second after the first, the last one kept.
bool ReadFrame(IMFSourceReader& reader, Frame& frame, Failure& failed)
{
    const DWORD stream = DWORD(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
    ScopedComPtr<IMFMediaType> rgb, type;
    if (!failed.Ok(MFCreateMediaType(rgb.Receive()), "MFCreateMediaType") ||
        !failed.Ok(rgb.Get()->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video), "SetGUID") ||
        !failed.Ok(rgb.Get()->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32), "SetGUID") ||
        !failed.Ok(reader.SetCurrentMediaType(stream, nullptr, rgb.Get()), "SetCurrentMediaType") ||
        !failed.Ok(reader.GetCurrentMediaType(stream, type.Receive()), "GetCurrentMediaType") ||
        !failed.Ok(MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &frame.width, &frame.height), "MF_MT_FRAME_SIZE") ||
        !failed.Ok(frame.width && frame.height ? S_OK : MF_E_INVALIDMEDIATYPE, "MF_MT_FRAME_SIZE"))
        return false;
    ScopedComPtr<IMFSample> kept;
    LONGLONG first = 0;
    const ULONGLONG start = GetTickCount64();
    for (DWORD flags = 0; !(flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_ERROR));) {
        ScopedComPtr<IMFSample> sample;
        LONGLONG time = 0;
        if (!failed.Ok(reader.ReadSample(stream, 0, nullptr, &flags, &time, sample.Receive()), "ReadSample"))
            return false;
        first = sample && !kept ? time : first;
        kept = sample ? std::move(sample) : std::move(kept);
        const ULONGLONG waited = GetTickCount64() - start;
        if (kept ? time - first >= SETTLING || waited >= FIRST_FRAME_MS + 2000 : waited >= FIRST_FRAME_MS)
            break;
    }
    ScopedComPtr<IMFMediaBuffer> buffer;
    if (!failed.Ok(kept ? S_OK : HRESULT_FROM_WIN32(ERROR_TIMEOUT), "ReadSample") ||
        !failed.Ok(kept.Get()->ConvertToContiguousBuffer(buffer.Receive()), "ConvertToContiguousBuffer"))
        return false;
    // The rows by the 2D buffer's pitch where it offers one (negative: bottom
    // up); otherwise by the sign of the default stride, its size width x 4
    // (Wine offers no 2D buffer and reports twice the size).
    const LONG rowBytes = LONG(frame.width * 4);
    frame.pixels.resize(size_t(rowBytes) * frame.height);
    ScopedComPtr<IMF2DBuffer> twoD;
    BYTE* row0 = nullptr;
    LONG pitch = rowBytes;
    DWORD length = 0;
    UINT32 stride = 0;
    const bool bottomUp = SUCCEEDED(type.Get()->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride)) && INT32(stride) < 0;
    if (!failed.Ok(SUCCEEDED(buffer.Get()->QueryInterface(IID_PPV_ARGS(twoD.Receive())))
                       ? twoD.Get()->Lock2D(&row0, &pitch)
                       : buffer.Get()->Lock(&row0, nullptr, &length), "Lock"))
        return false;
    if (!twoD && bottomUp) {
        pitch = -rowBytes;
        row0 += size_t(rowBytes) * (frame.height - 1);
    }
    const bool whole = twoD || length >= frame.pixels.size();
    for (UINT32 y = 0; whole && y < frame.height; ++y)
        std::memcpy(&frame.pixels[size_t(rowBytes) * y], row0 + LONG_PTR(pitch) * LONG(y), size_t(rowBytes));
    return failed.Ok(twoD ? twoD.Get()->Unlock2D() : buffer.Get()->Unlock(), "Unlock") &&
           failed.Ok(whole ? S_OK : MF_E_BUFFERTOOSMALL, "Lock");
}

// The frame as a JPEG of the given width (quality 0.85); WIC's JPEG encoder
// takes 24-bit BGR.
bool EncodeJpeg(const Frame& frame, UINT width, std::string& jpeg, Failure& failed)
{
    ScopedComPtr<IWICImagingFactory> wic;
    ScopedComPtr<IWICBitmap> bitmap;
    ScopedComPtr<IWICBitmapScaler> scaled;
    ScopedComPtr<IWICFormatConverter> bgr;
    ScopedComPtr<IStream> stream;
    ScopedComPtr<IWICBitmapEncoder> encoder;
    ScopedComPtr<IWICBitmapFrameEncode> photo;
    ScopedComPtr<IPropertyBag2> options;
    const UINT height = std::max<UINT>(1, UINT(uint64_t(frame.height) * width / frame.width));
    PROPBAG2 quality = {};
    quality.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value = {};
    value.vt = VT_R4;
    value.fltVal = 0.85f;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    STATSTG written = {};
    HGLOBAL memory = nullptr;
    BYTE* pixels = const_cast<BYTE*>(frame.pixels.data());
    if (!failed.Ok(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(wic.Receive())),
                   "CoCreateInstance") ||
        !failed.Ok(wic.Get()->CreateBitmapFromMemory(frame.width, frame.height, GUID_WICPixelFormat32bppBGR,
                   frame.width * 4, UINT(frame.pixels.size()), pixels, bitmap.Receive()), "CreateBitmapFromMemory") ||
        !failed.Ok(wic.Get()->CreateBitmapScaler(scaled.Receive()), "CreateBitmapScaler") ||
        !failed.Ok(scaled.Get()->Initialize(bitmap.Get(), width, height, WICBitmapInterpolationModeFant), "Scale") ||
        !failed.Ok(wic.Get()->CreateFormatConverter(bgr.Receive()), "CreateFormatConverter") ||
        !failed.Ok(bgr.Get()->Initialize(scaled.Get(), format, WICBitmapDitherTypeNone, nullptr, 0,
                                         WICBitmapPaletteTypeCustom), "Initialize") ||
        !failed.Ok(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), "CreateStreamOnHGlobal") ||
        !failed.Ok(wic.Get()->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Receive()), "CreateEncoder") ||
        !failed.Ok(encoder.Get()->Initialize(stream.Get(), WICBitmapEncoderNoCache), "Initialize") ||
        !failed.Ok(encoder.Get()->CreateNewFrame(photo.Receive(), options.Receive()), "CreateNewFrame") ||
        !failed.Ok(options.Get()->Write(1, &quality, &value), "Write") ||
        !failed.Ok(photo.Get()->Initialize(options.Get()), "Initialize") ||
        !failed.Ok(photo.Get()->SetSize(width, height), "SetSize") ||
        !failed.Ok(photo.Get()->SetPixelFormat(&format), "SetPixelFormat") ||
        !failed.Ok(photo.Get()->WriteSource(bgr.Get(), nullptr), "WriteSource") ||
        !failed.Ok(photo.Get()->Commit(), "Commit") || !failed.Ok(encoder.Get()->Commit(), "Commit") ||
        !failed.Ok(stream.Get()->Stat(&written, STATFLAG_NONAME), "Stat") ||
        !failed.Ok(GetHGlobalFromStream(stream.Get(), &memory), "GetHGlobalFromStream"))
        return false;
    const void* bytes = GlobalLock(memory);
    if (!failed.Ok(bytes ? S_OK : HRESULT_FROM_WIN32(GetLastError()), "GlobalLock"))
        return false;
    jpeg.assign(static_cast<const char*>(bytes), size_t(written.cbSize.QuadPart));
    GlobalUnlock(memory);
    return true;
}

// One photo's JPEG; the failure when there is none.
Failure TakePhoto(std::string& jpeg)
{
    Failure failed;
    for (const wchar_t* dll : MEDIA_FOUNDATION) {
        const ScopedLibrary library(LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (!failed.Ok(library ? S_OK : HRESULT_FROM_WIN32(GetLastError()), "LoadLibraryExW (Media Foundation)"))
            return failed;
    }
    Frame frame;
    if (!failed.Ok(MFStartup(MF_VERSION, MFSTARTUP_LITE), "MFStartup"))
        return failed;
    {
        // The camera is released before the encoding: its light goes off.
        ScopedComPtr<IMFMediaSource> source;
        ScopedComPtr<IMFSourceReader> reader;
        const bool read = OpenReader(reader, source, failed) && ReadFrame(*reader.Get(), frame, failed);
        reader.Reset();
        if (source)
            source.Get()->Shutdown();
        for (UINT width = std::min(frame.width, WIDEST); read; width /= 2)
            if (!EncodeJpeg(frame, width, jpeg, failed) || jpeg.size() < LARGEST_JPEG || width < 320)
                break;
    }
    LogIfFailed(MFShutdown(), "MFShutdown");
    return failed;
}

void TakeAlarmPhotos(const PushTarget& target, const std::string& causeText, HANDLE stop)
{
    // Below the guard's thread: the camera's work waits for the alarm's.
    LogIfFalse(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL), "SetThreadPriority");
    const ScopedComApartment com(COINIT_MULTITHREADED);
    for (int taken = 0; taken < PHOTOS_PER_ALARM; ++taken) {
        if (taken > 0 && WaitForSingleObject(stop, PHOTO_EVERY_MS) != WAIT_TIMEOUT)
            return;
        std::string jpeg;
        if (const Failure failed = TakePhoto(jpeg); failed.call) {
            LogEvent("No photo: " + failed.Reason());
            return QueueNoPhotoPush(target, failed.Reason());
        }
        QueuePhotoPush(target, causeText, jpeg);
    }
}

}  // namespace

AlarmPhotosStop StartAlarmPhotos(const PushTarget& target, const std::string& causeText) noexcept
{
    try {
        auto stop = std::make_shared<ScopedHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!LogIfFalse(bool(*stop), "CreateEventW") ||
            !StartDetachedThread([=] { TakeAlarmPhotos(target, causeText, stop->Get()); }))
            return nullptr;
        return stop;
    } catch (const std::bad_alloc&) {
        LogEvent("No photo: out of memory");
        return nullptr;
    }
}

void StopAlarmPhotos(AlarmPhotosStop& stop) noexcept
{
    if (stop)
        LogIfFalse(SetEvent(stop->Get()), "SetEvent");
    stop.reset();
}
