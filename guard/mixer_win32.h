// Mixer device 0 through winmm.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include "win32/scoped_win32.h"
#include "guard/mixer.h"

class WinmmMixerDevice : public MixerDevice {
public:
    uint32_t DeviceCount() override;
    uint32_t Open(uintptr_t notifyWindow) override;
    void Close() override;
    uint32_t GetDestination(uint32_t componentType, MixerLine& line) override;
    uint32_t GetSource(uint32_t destination, uint32_t index, MixerLine& line) override;
    uint32_t GetControl(uint32_t lineId, uint32_t controlType, uint32_t& controlId) override;
    uint32_t ReadValue(uint32_t controlId, uint32_t& value) override;
    uint32_t WriteValue(uint32_t controlId, uint32_t value) override;

private:
    ScopedMixer handle_;
};
