#include "guard/volume_guard.h"

VolumeGuard::VolumeGuard(std::unique_ptr<MixerDevice> mixer, std::unique_ptr<AudioEndpoint> endpoint)
    : mixer_(std::move(mixer)), endpoint_(std::move(endpoint))
{
}

void VolumeGuard::ForceStep(uint32_t line, uint32_t control, Saved& saved, uint32_t value)
{
    mixer_.SelectControl(line, control);
    if (!saved.valid) {
        saved.value = mixer_.GetValue();
        saved.valid = mixer_.IsReady();
        NoteSaved(saved.valid);
    }
    mixer_.SetValue(value);
}

void VolumeGuard::RestoreStep(uint32_t line, uint32_t control, Saved& saved)
{
    if (!saved.valid)
        return;
    mixer_.SelectControl(line, control);
    mixer_.SetValue(saved.value);
    saved.valid = false;
}

uint32_t VolumeGuard::Read(uint32_t line, uint32_t control)
{
    mixer_.SelectControl(line, control);
    return mixer_.GetValue();
}

bool VolumeGuard::OpenWithWindow(uintptr_t window)
{
    if (!mixer_.OpenWithWindow(window))
        return false;
    armingEndpointId_ = AttachEndpoint() ? endpoint_->Id() : std::u16string();
    return true;
}

void VolumeGuard::CloseMixer()
{
    mixer_.Close();
    if (endpointAttached_)
        endpoint_->Detach();
    endpointAttached_ = false;
    armingEndpointId_.clear();
}

std::u16string VolumeGuard::ForceArmingEndpoint()
{
    if (armingEndpointId_.empty() || (AttachEndpoint() && endpoint_->Id() == armingEndpointId_))
        return std::u16string();
    if (endpoint_->AttachTo(armingEndpointId_)) {
        ForceEndpointVolume();
        UnmuteEndpoint();
    }
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
    ForceStep(MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, masterVolume_, MIXER_FULL_VOLUME);
    ForceStep(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, waveOutVolume_,
              MIXER_FULL_VOLUME);
    if (AttachEndpoint())
        ForceEndpointVolume();
}

VolumeGuard::SavedEndpoint& VolumeGuard::SavedForAttached()
{
    const std::u16string id = endpoint_->Id();
    for (SavedEndpoint& saved : endpointSaved_) {
        if (saved.id == id)
            return saved;
    }
    endpointSaved_.push_back(SavedEndpoint{id});
    return endpointSaved_.back();
}

void VolumeGuard::ForceEndpointVolume()
{
    SavedEndpoint& saved = SavedForAttached();
    if (!saved.volumeSaved) {
        saved.volumeSaved = endpoint_->GetVolume(saved.volume);
        NoteSaved(saved.volumeSaved);
    }
    endpoint_->SetVolume(1.0f);
}

void VolumeGuard::UnmuteEndpoint()
{
    SavedEndpoint& saved = SavedForAttached();
    if (!saved.muteSaved) {
        saved.muteSaved = endpoint_->GetMute(saved.muted);
        NoteSaved(saved.muteSaved);
    }
    endpoint_->SetMute(false);
}

void VolumeGuard::Unmute()
{
    ForceStep(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, waveOutMute_, 0);
    ForceStep(MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, masterMute_, 0);
    if (AttachEndpoint())
        UnmuteEndpoint();
}

bool VolumeGuard::IsMuted()
{
    if (Read(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE) != 0)
        return true;
    return Read(MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE) != 0;
}

bool VolumeGuard::IsBelowFull()
{
    const uint32_t master = Read(MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME);
    const uint32_t waveOut = Read(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME);
    return !(master == MIXER_FULL_VOLUME && waveOut == MIXER_FULL_VOLUME);
}

void VolumeGuard::Restore()
{
    RestoreStep(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, waveOutVolume_);
    RestoreStep(MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, masterVolume_);
    RestoreStep(GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, waveOutMute_);
    RestoreStep(MASTER_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, masterMute_);
    RestoreEndpoints();
}

void VolumeGuard::RestoreEndpoints()
{
    bool leftTheDefault = false;
    for (const SavedEndpoint& saved : endpointSaved_) {
        if (!saved.volumeSaved && !saved.muteSaved)
            continue;
        // An endpoint that is no longer the default (the speakers, after
        // earphones came in) is reached by its id; one that is gone is skipped.
        if (!endpointAttached_ || endpoint_->Id() != saved.id) {
            leftTheDefault = true;
            endpointAttached_ = endpoint_->AttachTo(saved.id);
            if (!endpointAttached_)
                continue;
        }
        if (saved.volumeSaved)
            endpoint_->SetVolume(saved.volume);
        if (saved.muteSaved)
            endpoint_->SetMute(saved.muted);
    }
    endpointSaved_.clear();
    if (leftTheDefault)
        endpointAttached_ = endpoint_->Attach();
}

void VolumeGuard::FollowDefaultEndpoint(bool force)
{
    if (!endpoint_)
        return;
    endpointAttached_ = endpoint_->Attach();
    if (force && endpointAttached_) {
        ForceEndpointVolume();
        UnmuteEndpoint();
    }
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
        savedListener_();
}

std::array<SavedWord, MIXER_VALUE_COUNT> VolumeGuard::SavedMixer() const
{
    std::array<SavedWord, MIXER_VALUE_COUNT> saved = {};
    saved[MIXER_WAVE_OUT_VOLUME] = {waveOutVolume_.value, waveOutVolume_.valid};
    saved[MIXER_MASTER_VOLUME] = {masterVolume_.value, masterVolume_.valid};
    saved[MIXER_WAVE_OUT_MUTE] = {waveOutMute_.value, waveOutMute_.valid};
    saved[MIXER_MASTER_MUTE] = {masterMute_.value, masterMute_.valid};
    for (SavedWord& word : saved)
        if (!word.saved)
            word.value = 0;
    return saved;
}
