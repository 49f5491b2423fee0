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

void VolumeGuard::OpenWithWindow(uintptr_t window)
{
    mixer_.OpenWithWindow(window);
    AttachEndpoint();
}

void VolumeGuard::CloseMixer()
{
    mixer_.Close();
    if (endpointAttached_)
        endpoint_->Detach();
    endpointAttached_ = false;
}

bool VolumeGuard::AttachEndpoint()
{
    if (endpoint_ && !endpointAttached_)
        endpointAttached_ = endpoint_->Attach();
    return endpointAttached_;
}

void VolumeGuard::ForceFullVolume()
{
    ForceStep(MASTER_LINE, MIXERCONTROL_CONTROLTYPE_VOLUME, masterVolume_, MIXER_FULL_VOLUME);
    ForceStep(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_VOLUME, waveOutVolume_,
              MIXER_FULL_VOLUME);
    if (AttachEndpoint()) {
        if (!endpointVolumeSaved_) {
            endpointVolumeSaved_ = endpoint_->GetVolume(savedEndpointVolume_);
            NoteSaved(endpointVolumeSaved_);
        }
        endpoint_->SetVolume(1.0f);
    }
}

void VolumeGuard::Unmute()
{
    ForceStep(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_MUTE, waveOutMute_, 0);
    ForceStep(MASTER_LINE, MIXERCONTROL_CONTROLTYPE_MUTE, masterMute_, 0);
    if (AttachEndpoint()) {
        if (!endpointMuteSaved_) {
            endpointMuteSaved_ = endpoint_->GetMute(savedEndpointMute_);
            NoteSaved(endpointMuteSaved_);
        }
        endpoint_->SetMute(false);
    }
}

bool VolumeGuard::IsMuted()
{
    if (Read(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_MUTE) != 0)
        return true;
    return Read(MASTER_LINE, MIXERCONTROL_CONTROLTYPE_MUTE) != 0;
}

bool VolumeGuard::IsBelowFull()
{
    const uint32_t master = Read(MASTER_LINE, MIXERCONTROL_CONTROLTYPE_VOLUME);
    const uint32_t waveOut = Read(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_VOLUME);
    return !(master == MIXER_FULL_VOLUME && waveOut == MIXER_FULL_VOLUME);
}

void VolumeGuard::Restore()
{
    RestoreStep(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_VOLUME, waveOutVolume_);
    RestoreStep(MASTER_LINE, MIXERCONTROL_CONTROLTYPE_VOLUME, masterVolume_);
    RestoreStep(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_MUTE, waveOutMute_);
    RestoreStep(MASTER_LINE, MIXERCONTROL_CONTROLTYPE_MUTE, masterMute_);
    if (endpointVolumeSaved_)
        endpoint_->SetVolume(savedEndpointVolume_);
    if (endpointMuteSaved_)
        endpoint_->SetMute(savedEndpointMute_);
    endpointVolumeSaved_ = false;
    endpointMuteSaved_ = false;
    savedEndpointId_.clear();
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
    if (!saved)
        return;
    if (endpointAttached_ && savedEndpointId_.empty())
        savedEndpointId_ = endpoint_->Id();
    if (savedListener_)
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

std::vector<SavedEndpointVolume> VolumeGuard::SavedEndpoints() const
{
    if (savedEndpointId_.empty() || !(endpointVolumeSaved_ || endpointMuteSaved_))
        return {};
    return {{savedEndpointId_, endpointVolumeSaved_ ? savedEndpointVolume_ : 0.0f, endpointVolumeSaved_,
             endpointMuteSaved_ && savedEndpointMute_, endpointMuteSaved_}};
}
