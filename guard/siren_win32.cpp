#include "guard/siren_win32.h"

#include <mmsystem.h>
// After mmsystem.h, whose types it uses.
#include <mmddk.h>

#include <cstring>

#include "win32/data_resource_win32.h"
#include "win32/event_log_win32.h"
#include "resource_ids.h"

namespace {

// The waveOut device that plays to this endpoint (the mapping of "Device
// Roles for Legacy Windows Multimedia Applications").
bool WaveOutDeviceOf(const std::u16string& endpoint, UINT& device)
{
    const UINT count = waveOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        const auto asDevice = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(i));
        size_t bytes = 0;  // wide enough whichever width the system writes
        if (waveOutMessage(asDevice, DRV_QUERYFUNCTIONINSTANCEIDSIZE, reinterpret_cast<DWORD_PTR>(&bytes), 0) !=
                MMSYSERR_NOERROR || bytes < sizeof(wchar_t) || bytes > 4096)
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

// The format and the samples of the siren resource, a plain PCM WAVE file:
// its 16-byte "fmt " chunk first and its "data" chunk right after (the asset
// test holds the file to that). The samples stay where they are; waveOut only
// reads them.
bool FindWave(const DataResource& file, WAVEFORMATEX& format, WAVEHDR& header)
{
    const auto* bytes = static_cast<const char*>(file.bytes);
    DWORD length = 0;
    if (!bytes || file.size < 44 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVEfmt \x10\0\0\0\x01\0", 14) != 0 || std::memcmp(bytes + 36, "data", 4) != 0)
        return false;
    std::memcpy(&length, bytes + 40, sizeof length);  // little-endian, as Windows is
    std::memcpy(&format, bytes + 20, 16);  // the PCM fields; cbSize stays 0
    header.lpData = const_cast<char*>(bytes + 44);
    header.dwBufferLength = length;
    return length <= file.size - 44;
}

}  // namespace

void StartSiren() noexcept
{
    LogIfFalse(PlaySoundW(MAKEINTRESOURCEW(IDR_SIREN), GetModuleHandleW(nullptr), SND_RESOURCE | SND_LOOP | SND_ASYNC),
               "PlaySoundW");
}

void StopSiren() noexcept
{
    PlaySoundW(nullptr, nullptr, 0);
}

void StartSirenOn(DeviceSiren& siren, const std::u16string& endpoint)
{
    if (endpoint.empty() || siren.endpoint == endpoint)
        return;
    StopSirenOn(siren);
    UINT device = 0;
    if (!WaveOutDeviceOf(endpoint, device))
        return LogFailedCall("waveOutMessage(DRV_QUERYFUNCTIONINSTANCEID)", ERROR_NOT_FOUND);
    WAVEFORMATEX format = {};
    siren.header = {};
    if (!LogIfFalse(FindWave(FindDataResource(IDR_SIREN, L"WAVE"), format, siren.header), "FindResourceW"))
        return;
    siren.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    siren.header.dwLoops = 0xFFFFFFFF;  // more than a century of siren
    // MMRESULT: 0 for success, as an LSTATUS.
    if (!LogIfError(LSTATUS(waveOutOpen(&siren.wave, device, &format, 0, 0, CALLBACK_NULL)), "waveOutOpen")) {
        siren.wave = nullptr;
        return;
    }
    MMRESULT result = waveOutPrepareHeader(siren.wave, &siren.header, sizeof siren.header);
    if (result == MMSYSERR_NOERROR)
        result = waveOutWrite(siren.wave, &siren.header, sizeof siren.header);
    if (!LogIfError(LSTATUS(result), "waveOutWrite"))
        return StopSirenOn(siren);
    siren.endpoint = endpoint;
}

void StopSirenOn(DeviceSiren& siren) noexcept
{
    if (!siren.wave)
        return;
    waveOutReset(siren.wave);  // hands the buffer back at once
    if (siren.header.dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(siren.wave, &siren.header, sizeof siren.header);
    waveOutClose(siren.wave);
    siren.wave = nullptr;
    siren.endpoint.clear();
}
