#include "guard/mixer.h"

COrvekMixer::COrvekMixer(std::unique_ptr<MixerDevice> device) : device_(std::move(device))
{
    Open(0);
}

COrvekMixer::~COrvekMixer()
{
    Close();
}

bool COrvekMixer::OpenWithWindow(uintptr_t window)
{
    Close();
    controlId_ = 0;
    ready_ = false;
    return Open(window);
}

bool COrvekMixer::Open(uintptr_t window)
{
    if (device_->DeviceCount() < 1)
        return false;
    open_ = device_->Open(window) == 0;
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

bool COrvekMixer::Read(uint32_t& value)
{
    ready_ = false;
    // Some mixers report success without writing the value.
    value = 0;
    if (device_->ReadValue(controlId_, value) != 0) {
        value = 0;
        return false;
    }
    return true;
}

uint32_t COrvekMixer::GetValue()
{
    if (!ready_)
        return 0;
    uint32_t value = 0;
    if (!Read(value))
        return 0;
    ready_ = true;
    return value;
}

bool COrvekMixer::SetValue(uint32_t value)
{
    if (!ready_)
        return false;
    uint32_t current = 0;
    if (!Read(current))
        return false;
    if (device_->WriteValue(controlId_, value) != 0)
        return false;
    ready_ = true;
    return true;
}
