// The sound mixer as the siren needs it: device 0, one line control at a time,
// one 32-bit value read or written. MixerDevice is the platform's part (winmm
// on Windows, a fake in tests); COrvekMixer holds the line-choosing rules.
#pragma once

#include <cstdint>
#include <memory>

// Values of the platform's mixer interface (the Windows values, under names
// of their own so that this header and Windows' can be included together).
constexpr uint32_t GUARD_MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
constexpr uint32_t GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
constexpr uint32_t GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr uint32_t GUARD_MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;

// Selects the speakers destination line itself: one past the last source type.
constexpr uint32_t MASTER_LINE = 0x100B;
constexpr uint32_t MIXER_FULL_VOLUME = 0xFFFF;  // written as is, bounds not consulted

struct MixerLine {
    uint32_t destination = 0;    // index of the destination line
    uint32_t lineId = 0;
    uint32_t componentType = 0;
    uint32_t connections = 0;    // source lines of a destination
};

// One mixer device of the platform. Every call returns the platform's result
// code, 0 for success.
class MixerDevice {
public:
    virtual ~MixerDevice() = default;
    virtual uint32_t DeviceCount() = 0;
    // Opens device 0; a non-zero window receives the line and control changes.
    virtual uint32_t Open(uintptr_t notifyWindow) = 0;
    virtual void Close() = 0;
    virtual uint32_t GetDestination(uint32_t componentType, MixerLine& line) = 0;
    virtual uint32_t GetSource(uint32_t destination, uint32_t index, MixerLine& line) = 0;
    virtual uint32_t GetControl(uint32_t lineId, uint32_t controlType, uint32_t& controlId) = 0;
    virtual uint32_t ReadValue(uint32_t controlId, uint32_t& value) = 0;
    virtual uint32_t WriteValue(uint32_t controlId, uint32_t value) = 0;
};

// One open mixer device and the control chosen last.
class COrvekMixer {
public:
    // Opens device 0 without notifications; IsOpen says whether it did (no
    // device, or device 0 would not open).
    explicit COrvekMixer(std::unique_ptr<MixerDevice> device) : device_(std::move(device)) { Open(0); }
    ~COrvekMixer() { Close(); }

    // (Re)opens device 0, a non-zero window receiving its change messages,
    // with nothing chosen; false when it would not open.
    bool Open(uintptr_t window);
    void Close();

    // Chooses the control of the given type on the speakers destination
    // (MASTER_LINE) or on its first source line of the given component type;
    // with no such source, on the last source, and with no sources at all on
    // the destination itself. A failing call leaves the last choice in place.
    void SelectControl(uint32_t componentType, uint32_t controlType);
    // The chosen control's value; 0 when nothing is chosen or the read fails.
    uint32_t GetValue();
    // Reads, then writes the chosen control; a failing read writes nothing.
    bool SetValue(uint32_t value);

    bool IsReady() const { return ready_; }
    bool IsOpen() const { return open_; }

private:
    std::unique_ptr<MixerDevice> device_;
    bool open_ = false;
    uint32_t controlId_ = 0;
    bool ready_ = false;  // a control is chosen, and the last call on it worked
};
