#include "guard/volume_guard_win32.h"

#include <memory>

#include "app/fatal_error_win32.h"
#include "guard/endpoint_volume_win32.h"
#include "guard/mixer_win32.h"
#include "settings/settings.h"

namespace {

[[noreturn]] void SoundFatal()
{
    // What the owner changed since start-up must survive the exit.
    SaveSettings(GetSettings());
    FatalExit(L"Sound Initializing error", -1);
}

}  // namespace

VolumeGuard& GetVolumeGuard() noexcept
{
    static VolumeGuard* guard = nullptr;  // never destroyed: in use until the process ends
    if (!guard) {
        try {
            guard = new VolumeGuard(std::make_unique<WinmmMixerDevice>(), std::make_unique<CoreAudioEndpoint>());
        } catch (const MixerOpenError&) {
            SoundFatal();
        }
    }
    return *guard;
}

void OpenMixerWithWindow(HWND window) noexcept
{
    VolumeGuard& guard = GetVolumeGuard();
    try {
        guard.OpenWithWindow(reinterpret_cast<uintptr_t>(window));
    } catch (const MixerOpenError&) {
        SoundFatal();
    }
}
