#include "guard/volume_guard_win32.h"

#include <memory>

#include "app/fatal_error_win32.h"
#include "guard/endpoint_volume_win32.h"
#include "guard/mixer_win32.h"

namespace {

VolumeGuard* guard = nullptr;  // never destroyed: in use until the process ends

bool CreateVolumeGuard() noexcept
{
    if (!guard) {
        auto made = std::make_unique<VolumeGuard>(std::make_unique<WinmmMixerDevice>(),
                                                  std::make_unique<CoreAudioEndpoint>());
        if (!made->Mixer().IsOpen())
            return false;
        guard = made.release();
    }
    return true;
}

}  // namespace

void SoundFatal(HDESK showOn) noexcept
{
    FatalExit(L"Sound Initializing error", -1, showOn);
}

VolumeGuard& GetVolumeGuard() noexcept
{
    if (!CreateVolumeGuard())
        SoundFatal(nullptr);
    return *guard;
}

bool TryOpenMixerWithWindow(HWND window) noexcept
{
    return CreateVolumeGuard() && guard->OpenWithWindow(reinterpret_cast<uintptr_t>(window));
}
