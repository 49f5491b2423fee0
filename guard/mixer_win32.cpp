#include "guard/mixer_win32.h"
#include "win32/event_log_win32.h"

// The portable names carry the Windows values unchanged through the device.
static_assert(GUARD_MIXERLINE_COMPONENTTYPE_DST_SPEAKERS == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
              "MIXERLINE_COMPONENTTYPE_DST_SPEAKERS");
static_assert(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
              "MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT");
static_assert(GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME == MIXERCONTROL_CONTROLTYPE_VOLUME,
              "MIXERCONTROL_CONTROLTYPE_VOLUME");
static_assert(GUARD_MIXERCONTROL_CONTROLTYPE_MUTE == MIXERCONTROL_CONTROLTYPE_MUTE, "MIXERCONTROL_CONTROLTYPE_MUTE");
static_assert(MASTER_LINE == MIXERLINE_COMPONENTTYPE_SRC_LAST + 1, "one past the last source type");

namespace {

// One line of the open device, found by the fields of info that the query
// names; line is filled in only on success.
MMRESULT GetLine(HMIXER mixer, MIXERLINEW& info, DWORD query, MixerLine& line)
{
    info.cbStruct = sizeof(info);
    const MMRESULT result = mixerGetLineInfoW(HMIXEROBJ(mixer), &info, MIXER_OBJECTF_HMIXER | query);
    if (result == MMSYSERR_NOERROR) {
        line.destination = info.dwDestination;
        line.lineId = info.dwLineID;
        line.componentType = info.dwComponentType;
        line.connections = info.cConnections;
    }
    return result;
}

MIXERCONTROLDETAILS OneValue(uint32_t controlId, DWORD& value)
{
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof(details);
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = &value;
    return details;
}

}  // namespace

uint32_t WinmmMixerDevice::DeviceCount()
{
    return mixerGetNumDevs();
}

uint32_t WinmmMixerDevice::Open(uintptr_t notifyWindow)
{
    const DWORD flags = notifyWindow ? CALLBACK_WINDOW : 0;
    const MMRESULT result = mixerOpen(handle_.Receive(), 0, DWORD_PTR(notifyWindow), 0, flags);
    if (result != MMSYSERR_NOERROR)
        LogFailedCall("mixerOpen", result);
    return result;
}

void WinmmMixerDevice::Close()
{
    handle_.Reset();
}

uint32_t WinmmMixerDevice::GetDestination(uint32_t componentType, MixerLine& line)
{
    MIXERLINEW info = {};
    info.dwComponentType = componentType;
    return GetLine(handle_.Get(), info, MIXER_GETLINEINFOF_COMPONENTTYPE, line);
}

uint32_t WinmmMixerDevice::GetSource(uint32_t destination, uint32_t index, MixerLine& line)
{
    MIXERLINEW info = {};
    info.dwDestination = destination;
    info.dwSource = index;
    return GetLine(handle_.Get(), info, MIXER_GETLINEINFOF_SOURCE, line);
}

uint32_t WinmmMixerDevice::GetControl(uint32_t lineId, uint32_t controlType, uint32_t& controlId)
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
    const MMRESULT result = mixerGetLineControlsW(HMIXEROBJ(handle_.Get()), &controls,
                                                  MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
    if (result == MMSYSERR_NOERROR)
        controlId = control.dwControlID;
    return result;
}

uint32_t WinmmMixerDevice::ReadValue(uint32_t controlId, uint32_t& value)
{
    // Wine answers a wave-out read with success and leaves the value as it
    // was: start from 0.
    DWORD read = 0;
    MIXERCONTROLDETAILS details = OneValue(controlId, read);
    const MMRESULT result = mixerGetControlDetailsW(HMIXEROBJ(handle_.Get()), &details,
                                                    MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    value = read;
    return result;
}

uint32_t WinmmMixerDevice::WriteValue(uint32_t controlId, uint32_t value)
{
    DWORD written = value;
    MIXERCONTROLDETAILS details = OneValue(controlId, written);
    return mixerSetControlDetails(HMIXEROBJ(handle_.Get()), &details,
                                  MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}
