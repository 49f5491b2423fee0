#include "guard/volume_guard_win32.h"

#include "app/fatal_error_win32.h"
#include "guard/endpoint_volume_win32.h"
#include "guard/mixer_win32.h"

namespace {

std::unique_ptr<VolumeGuard> MakeVolumeGuard()
{
    return std::make_unique<VolumeGuard>(CreateWinmmMixerDevice(), CreateCoreAudioEndpoint());
}

}  // namespace

void SoundFatal(HDESK showOn) noexcept
{
    FatalExit(L"Sound Initializing error", -1, showOn);
}

std::unique_ptr<VolumeGuard> OpenVolumeGuard(HWND window)
{
    std::unique_ptr<VolumeGuard> guard = MakeVolumeGuard();
    if (!guard->Mixer().IsOpen() || !guard->OpenWithWindow(reinterpret_cast<uintptr_t>(window)))
        return nullptr;
    return guard;
}

void GiveBackLeftOverSound(const VolumeRecord& record)
{
    if (record.Any())
        MakeVolumeGuard()->GiveBack(record);
}
