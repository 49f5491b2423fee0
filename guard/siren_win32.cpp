#include "guard/siren_win32.h"

#include <windows.h>

#include <mmsystem.h>
// After mmsystem.h, whose types it uses.
#include <mmddk.h>

#include <cstring>
#include <string>

#include "win32/event_log_win32.h"
#include "guard/wave_parts.h"
#include "resource_ids.h"

namespace {

// The looping siren on one waveOut device, open while it sounds.
class DeviceSiren {
public:
    bool Start(UINT device, const WAVEFORMATEX& format, const void* samples, DWORD size) noexcept
    {
        MMRESULT result = waveOutOpen(&wave_, device, &format, 0, 0, CALLBACK_NULL);
        if (result != MMSYSERR_NOERROR) {
            wave_ = nullptr;
            LogFailedCall("waveOutOpen", result);
            return false;
        }
        header_ = {};
        // waveOut only reads the samples; the resource is never written.
        header_.lpData = static_cast<LPSTR>(const_cast<void*>(samples));
        header_.dwBufferLength = size;
        header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        header_.dwLoops = 0xFFFFFFFF;  // more than a century of siren
        result = waveOutPrepareHeader(wave_, &header_, sizeof header_);
        if (result == MMSYSERR_NOERROR)
            result = waveOutWrite(wave_, &header_, sizeof header_);
        if (result != MMSYSERR_NOERROR) {
            LogFailedCall("waveOutWrite", result);
            Stop();
            return false;
        }
        return true;
    }

    void Stop() noexcept
    {
        if (!wave_)
            return;
        waveOutReset(wave_);  // hands the buffer back at once
        if (header_.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(wave_, &header_, sizeof header_);
        waveOutClose(wave_);
        wave_ = nullptr;
        endpoint.clear();
    }

    std::u16string endpoint;  // the one it sounds on; empty when silent

private:
    HWAVEOUT wave_ = nullptr;
    WAVEHDR header_ = {};
};

// Never destroyed: the guard thread may still use it while the process ends.
DeviceSiren& SecondSiren()
{
    static DeviceSiren* siren = new DeviceSiren();
    return *siren;
}

// The waveOut device that plays to this endpoint (the mapping of "Device
// Roles for Legacy Windows Multimedia Applications").
bool WaveOutDeviceOf(const std::u16string& endpoint, UINT& device)
{
    const UINT count = waveOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        const auto asDevice = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(i));
        size_t bytes = 0;  // wide enough whichever width the system writes
        if (waveOutMessage(asDevice, DRV_QUERYFUNCTIONINSTANCEIDSIZE, reinterpret_cast<DWORD_PTR>(&bytes), 0) !=
                MMSYSERR_NOERROR ||
            bytes < sizeof(wchar_t) || bytes > 4096)
            continue;
        std::wstring id(bytes / sizeof(wchar_t), L'\0');
        if (waveOutMessage(asDevice, DRV_QUERYFUNCTIONINSTANCEID, reinterpret_cast<DWORD_PTR>(&id[0]), bytes) !=
            MMSYSERR_NOERROR)
            continue;
        id.resize(wcsnlen(id.c_str(), id.size()));
        if (std::u16string(id.begin(), id.end()) == endpoint) {  // wchar_t is UTF-16 on Windows
            device = i;
            return true;
        }
    }
    return false;
}

}  // namespace

void StartSiren() noexcept
{
    if (!PlaySoundW(MAKEINTRESOURCEW(IDR_SIREN), GetModuleHandleW(nullptr), SND_RESOURCE | SND_LOOP | SND_ASYNC))
        LogFailedCall("PlaySoundW", GetLastError());
}

void StopSiren() noexcept
{
    PlaySoundW(nullptr, nullptr, 0);
}

void StartSirenOn(const std::u16string& endpoint) noexcept
{
    DeviceSiren& siren = SecondSiren();
    if (endpoint.empty() || siren.endpoint == endpoint)
        return;
    siren.Stop();
    UINT device = 0;
    if (!WaveOutDeviceOf(endpoint, device)) {
        LogFailedCall("waveOutMessage(DRV_QUERYFUNCTIONINSTANCEID)", ERROR_NOT_FOUND);
        return;
    }
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_SIREN), L"WAVE");
    const DWORD size = found ? SizeofResource(module, found) : 0;
    const HGLOBAL loaded = size ? LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    WaveParts parts;
    if (!bytes || !FindWaveParts(bytes, size, parts)) {
        LogFailedCall("FindResourceW", GetLastError());
        return;
    }
    WAVEFORMATEX format = {};
    const size_t formatSize = parts.formatSize < sizeof format ? parts.formatSize : sizeof format;
    std::memcpy(&format, bytes + parts.formatOffset, formatSize);
    if (format.wFormatTag == WAVE_FORMAT_PCM)
        format.cbSize = 0;
    if (siren.Start(device, format, bytes + parts.dataOffset, DWORD(parts.dataSize)))
        siren.endpoint = endpoint;
}

void StopSirenOn() noexcept
{
    SecondSiren().Stop();
}
