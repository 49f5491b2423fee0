#include "guard/volume_guard_win32.h"

#include <mmsystem.h>

#include "win32/desktop_box_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

// The portable names carry the Windows values unchanged through the device.
static_assert(GUARD_MIXERLINE_COMPONENTTYPE_DST_SPEAKERS == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS &&
                  GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT &&
                  GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME == MIXERCONTROL_CONTROLTYPE_VOLUME &&
                  GUARD_MIXERCONTROL_CONTROLTYPE_MUTE == MIXERCONTROL_CONTROLTYPE_MUTE &&
                  MASTER_LINE == MIXERLINE_COMPONENTTYPE_SRC_LAST + 1, "the mixer's values");

namespace {

class WinmmMixerDevice : public MixerDevice {
public:
    uint32_t DeviceCount() override { return mixerGetNumDevs(); }

    uint32_t Open(uintptr_t notifyWindow) override
    {
        const MMRESULT result =
            mixerOpen(handle_.Receive(), 0, DWORD_PTR(notifyWindow), 0, notifyWindow ? CALLBACK_WINDOW : 0);
        LogIfError(result, "mixerOpen");
        return result;
    }

    void Close() override { handle_.Reset(); }

    uint32_t GetDestination(uint32_t componentType, MixerLine& line) override
    {
        return GetLine(MIXER_GETLINEINFOF_COMPONENTTYPE, componentType, 0, 0, line);
    }
    uint32_t GetSource(uint32_t destination, uint32_t index, MixerLine& line) override
    {
        return GetLine(MIXER_GETLINEINFOF_SOURCE, 0, destination, index, line);
    }

    uint32_t GetControl(uint32_t lineId, uint32_t controlType, uint32_t& controlId) override
    {
        MIXERCONTROLW control = {};
        control.cbStruct = sizeof(control);
        MIXERLINECONTROLSW controls = {};
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = lineId;
        controls.dwControlType = controlType;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        const MMRESULT result =
            mixerGetLineControlsW(Object(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
        if (result == MMSYSERR_NOERROR)
            controlId = control.dwControlID;
        return result;
    }

    uint32_t ReadValue(uint32_t controlId, uint32_t& value) override { return Details(controlId, value, false); }
    uint32_t WriteValue(uint32_t controlId, uint32_t value) override { return Details(controlId, value, true); }

private:
    HMIXEROBJ Object() const { return HMIXEROBJ(handle_.Get()); }

    // The line that the query's fields name; line is filled in only on
    // success.
    MMRESULT GetLine(DWORD query, DWORD componentType, DWORD destination, DWORD source, MixerLine& line)
    {
        MIXERLINEW info = {};
        info.cbStruct = sizeof(info);
        info.dwComponentType = componentType;
        info.dwDestination = destination;
        info.dwSource = source;
        const MMRESULT result = mixerGetLineInfoW(Object(), &info, MIXER_OBJECTF_HMIXER | query);
        if (result == MMSYSERR_NOERROR) {
            line.destination = info.dwDestination;
            line.lineId = info.dwLineID;
            line.componentType = info.dwComponentType;
            line.connections = info.cConnections;
        }
        return result;
    }

    // One value of one control, one channel.
    MMRESULT Details(uint32_t controlId, uint32_t& value, bool write)
    {
        MIXERCONTROLDETAILS details = {sizeof(details), controlId, 1, {}, sizeof(value), &value};
        if (write)
            return mixerSetControlDetails(Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
        return mixerGetControlDetailsW(Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    }

    ScopedMixer handle_;
};

}  // namespace

std::unique_ptr<MixerDevice> CreateWinmmMixerDevice()
{
    return std::make_unique<WinmmMixerDevice>();
}

std::unique_ptr<VolumeGuard> OpenVolumeGuard(HWND window)
{
    auto guard = std::make_unique<VolumeGuard>(CreateWinmmMixerDevice(), CreateCoreAudioEndpoint());
    return guard->OpenWithWindow(reinterpret_cast<uintptr_t>(window)) ? std::move(guard) : nullptr;
}

void SoundFatal(HDESK showOn) noexcept
{
    FatalExit(L"Sound Initializing error", -1, showOn);
}
