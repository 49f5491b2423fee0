#include "guard/volume_guard_win32.h"

#include <memory>

#include "app/fatal_error_win32.h"
#include "guard/endpoint_volume_win32.h"
#include "guard/mixer_win32.h"

namespace {

std::unique_ptr<VolumeGuard> MakeVolumeGuard()
{
    return std::make_unique<VolumeGuard>(CreateWinmmMixerDevice(), CreateCoreAudioEndpoint());
}

// Null until the mixer opens; then never destroyed: in use until the process ends.
VolumeGuard* TheVolumeGuard() noexcept
{
    static VolumeGuard* guard = nullptr;
    if (!guard) {
        std::unique_ptr<VolumeGuard> made = MakeVolumeGuard();
        if (made->Mixer().IsOpen())
            guard = made.release();
    }
    return guard;
}

}  // namespace

void SoundFatal(HDESK showOn) noexcept
{
    FatalExit(L"Sound Initializing error", -1, showOn);
}

VolumeGuard& GetVolumeGuard() noexcept
{
    VolumeGuard* guard = TheVolumeGuard();
    if (!guard)
        SoundFatal(nullptr);
    return *guard;
}

bool TryOpenMixerWithWindow(HWND window) noexcept
{
    VolumeGuard* guard = TheVolumeGuard();
    return guard && guard->OpenWithWindow(reinterpret_cast<uintptr_t>(window));
}

void GiveBackLeftOverSound(const VolumeRecord& record)
{
    // Not the process's guard: a mixer that will not open ends the process.
    if (record.Any())
        MakeVolumeGuard()->GiveBack(record);
}
