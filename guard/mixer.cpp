#include "guard/mixer.h"

bool COrvekMixer::Open(uintptr_t window)
{
    Close();
    controlId_ = 0;
    ready_ = false;
    open_ = device_->DeviceCount() >= 1 && device_->Open(window) == 0;
    return open_;
}

void COrvekMixer::Close()
{
    if (open_)
        device_->Close();
    open_ = false;
}

void COrvekMixer::SelectControl(uint32_t componentType, uint32_t controlType)
{
    MixerLine destination;
    if (device_->GetDestination(GUARD_MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, destination) != 0)
        return;
    MixerLine line = destination;
    if (componentType != MASTER_LINE) {
        for (uint32_t index = 0; index < destination.connections; ++index) {
            if (device_->GetSource(destination.destination, index, line) != 0)
                return;
            if (line.componentType == componentType)
                break;
        }
    }
    uint32_t controlId = 0;
    if (device_->GetControl(line.lineId, controlType, controlId) != 0)
        return;
    controlId_ = controlId;
    ready_ = true;
}

uint32_t COrvekMixer::GetValue()
{
    if (!ready_)
        return 0;
    // Some mixers (Wine's wave-out line) report success without writing the value.
    uint32_t value = 0;
    ready_ = device_->ReadValue(controlId_, value) == 0;
    return ready_ ? value : 0;
}

bool COrvekMixer::SetValue(uint32_t value)
{
    GetValue();  // a control that cannot be read is not written
    if (!ready_)
        return false;
    ready_ = device_->WriteValue(controlId_, value) == 0;
    return ready_;
}
