#include "guard/volume_guard.h"

#include <algorithm>
#include <utility>

namespace {

// Each value's line and control type, in the order of MixerValue.
constexpr std::pair<uint32_t, uint32_t> MIXER_CONTROLS[MIXER_VALUE_COUNT] = {
    {GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME},
    {MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME},
    {GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE},
    {MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE},
};

// What an alarm writes, in its order. They are given back in the reverse
// order: where two values share one control (a mixer without source lines),
// the one saved first, the owner's, is written last.
constexpr std::pair<MixerValue, uint32_t> FORCED[MIXER_VALUE_COUNT] = {
    {MIXER_MASTER_VOLUME, MIXER_FULL_VOLUME},
    {MIXER_WAVE_OUT_VOLUME, MIXER_FULL_VOLUME},
    {MIXER_WAVE_OUT_MUTE, 0},
    {MIXER_MASTER_MUTE, 0},
};

}  // namespace

// Chooses the value's control on the speakers destination (MASTER_LINE) or
// on its first source line of the value's type; with no such source, on the
// last source, and with no sources at all on the destination itself. A
// failing lookup chooses nothing: the control chosen before may be another
// kind, and unmuting it with 0 would turn the siren's volume down.
void VolumeGuard::Select(size_t which)
{
    const auto [wantedLine, wantedControl] = MIXER_CONTROLS[which];
    ready_ = false;
    MixerLine destination;
    if (mixer_->GetDestination(GUARD_MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, destination) != 0)
        return;
    MixerLine line = destination;
    for (uint32_t index = 0; wantedLine != MASTER_LINE && index < destination.connections; ++index) {
        if (mixer_->GetSource(destination.destination, index, line) != 0)
            return;
        if (line.componentType == wantedLine)
            break;
    }
    ready_ = mixer_->GetControl(line.lineId, wantedControl, controlId_) == 0;
}

uint32_t VolumeGuard::Read(size_t which)
{
    Select(which);
    // Some mixers (Wine's wave-out line) report success without writing the value.
    uint32_t value = 0;
    ready_ = ready_ && mixer_->ReadValue(controlId_, value) == 0;
    return ready_ ? value : 0;
}

void VolumeGuard::Write(size_t which, uint32_t value)
{
    Read(which);  // a control that cannot be read is not written
    ready_ = ready_ && mixer_->WriteValue(controlId_, value) == 0;
}

bool VolumeGuard::OpenWithWindow(uintptr_t window)
{
    if (mixer_->DeviceCount() < 1 || mixer_->Open(window) != 0)
        return false;
    armingEndpointId_ = AttachEndpoint() ? endpoint_->Id() : std::u16string();
    return true;
}

void VolumeGuard::CloseMixer()
{
    mixer_->Close();
    ready_ = false;
    if (endpointAttached_)
        endpoint_->Detach();
    endpointAttached_ = false;
    armingEndpointId_.clear();
}

std::u16string VolumeGuard::ForceArmingEndpoint()
{
    if (armingEndpointId_.empty() || (AttachEndpoint() && endpoint_->Id() == armingEndpointId_))
        return std::u16string();
    if (endpoint_->AttachTo(armingEndpointId_))
        ForceEndpoint();
    // Back to the default one, whose change notices the guard listens to.
    endpointAttached_ = endpoint_->Attach();
    return armingEndpointId_;
}

bool VolumeGuard::AttachEndpoint()
{
    if (endpoint_ && !endpointAttached_)
        endpointAttached_ = endpoint_->Attach();
    return endpointAttached_;
}

void VolumeGuard::ForceFullVolume()
{
    for (const auto& [which, value] : FORCED) {
        SavedWord& saved = saved_.mixer[which];
        if (!saved.saved) {
            saved.value = Read(which);
            NoteSaved(saved.saved = ready_);
        }
        Write(which, value);
    }
    if (AttachEndpoint())
        ForceEndpoint();
}

// The endpoint reached now: its volume full and its mute off, each saved first.
void VolumeGuard::ForceEndpoint()
{
    const std::u16string id = endpoint_->Id();
    auto& endpoints = saved_.endpoints;
    auto saved = std::find_if(endpoints.begin(), endpoints.end(),
                              [&id](const SavedEndpointVolume& endpoint) { return endpoint.id == id; });
    if (saved == endpoints.end())
        saved = endpoints.insert(saved, SavedEndpointVolume{id});
    if (!saved->volumeSaved)
        NoteSaved(saved->volumeSaved = endpoint_->GetVolume(saved->volume));
    endpoint_->SetVolume(1.0f);
    if (!saved->muteSaved)
        NoteSaved(saved->muteSaved = endpoint_->GetMute(saved->muted));
    endpoint_->SetMute(false);
}

bool VolumeGuard::IsBelowFull()
{
    return Read(MIXER_WAVE_OUT_MUTE) != 0 || Read(MIXER_MASTER_MUTE) != 0 ||
           Read(MIXER_MASTER_VOLUME) != MIXER_FULL_VOLUME || Read(MIXER_WAVE_OUT_VOLUME) != MIXER_FULL_VOLUME;
}

void VolumeGuard::Restore()
{
    for (size_t step = MIXER_VALUE_COUNT; step-- > 0;)
        if (const SavedWord& saved = saved_.mixer[FORCED[step].first]; saved.saved)
            Write(FORCED[step].first, saved.value);
    const bool wasAttached = endpointAttached_;
    bool leftTheDefault = false;
    for (const SavedEndpointVolume& saved : saved_.endpoints) {
        if (!saved.volumeSaved && !saved.muteSaved)
            continue;
        // An endpoint that is no longer the default (the speakers, after
        // earphones came in) is reached by its id; one that is gone is skipped.
        if (!endpointAttached_ || endpoint_->Id() != saved.id) {
            leftTheDefault = true;
            if (!(endpointAttached_ = endpoint_->AttachTo(saved.id)))
                continue;
        }
        if (saved.volumeSaved)
            endpoint_->SetVolume(saved.volume);
        if (saved.muteSaved)
            endpoint_->SetMute(saved.muted);
    }
    saved_ = VolumeRecord();
    // Back on the default endpoint, for its notices, when it was on one.
    if (leftTheDefault && wasAttached)
        endpointAttached_ = endpoint_->Attach();
}

void VolumeGuard::GiveBack(const VolumeRecord& record)
{
    // Opened only for a value of its own; one that would not open writes nothing.
    if (std::any_of(record.mixer.begin(), record.mixer.end(), [](const SavedWord& word) { return word.saved; }) &&
        mixer_->DeviceCount() >= 1)
        mixer_->Open(0);
    saved_ = record;
    Restore();
}

void VolumeGuard::FollowDefaultEndpoint(bool force)
{
    if (!endpoint_)
        return;
    endpointAttached_ = endpoint_->Attach();
    if (force && endpointAttached_)
        ForceEndpoint();
}

void VolumeGuard::ReforceEndpoint()
{
    if (!endpointAttached_)
        return;
    float level = 1.0f;
    if (endpoint_->GetVolume(level) && level < 1.0f)
        endpoint_->SetVolume(1.0f);
    bool muted = false;
    if (endpoint_->GetMute(muted) && muted)
        endpoint_->SetMute(false);
}

void VolumeGuard::NoteSaved(bool saved)
{
    if (saved && savedListener_)
        savedListener_(saved_);
}
