// Full volume for the siren, and the owner's sound given back at unlock. Two
// paths: the mixer (device 0: the speakers line and its wave-out source), and
// the default render endpoint, because since Vista the mixer reaches only the
// program's own audio session and a muted system would keep the siren silent.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "guard/give_back_record.h"

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

// Mixer device 0 of the platform (winmm on Windows, a fake in tests). Every
// call returns the platform's result code, 0 for success.
class MixerDevice {
public:
    virtual ~MixerDevice() = default;
    virtual uint32_t DeviceCount() = 0;
    // Opens device 0; a non-zero window receives the line and control changes.
    virtual uint32_t Open(uintptr_t notifyWindow) = 0;
    virtual void Close() = 0;  // nothing when it is not open
    virtual uint32_t GetDestination(uint32_t componentType, MixerLine& line) = 0;
    virtual uint32_t GetSource(uint32_t destination, uint32_t index, MixerLine& line) = 0;
    // Writes controlId only on success.
    virtual uint32_t GetControl(uint32_t lineId, uint32_t controlType, uint32_t& controlId) = 0;
    virtual uint32_t ReadValue(uint32_t controlId, uint32_t& value) = 0;
    virtual uint32_t WriteValue(uint32_t controlId, uint32_t value) = 0;
};

// The system's default playback endpoint (Core Audio on Windows). Every call
// may fail (no endpoint, or a system that does not offer the interface); the
// guard then carries on with the mixer alone.
class AudioEndpoint {
public:
    virtual ~AudioEndpoint() = default;
    // Reaches the endpoint that is the default now, with change notices on
    // (its volume, and which endpoint is the default); false when there is
    // none. Lets go of the one reached before.
    virtual bool Attach() = 0;
    // Reaches the endpoint with this id, default or not, without notices.
    virtual bool AttachTo(const std::u16string& id) = 0;
    virtual void Detach() = 0;
    // The id of the endpoint reached; empty when none.
    virtual std::u16string Id() = 0;
    virtual bool GetVolume(float& level) = 0;  // 0 to 1
    virtual bool SetVolume(float level) = 0;
    virtual bool GetMute(bool& muted) = 0;
    virtual bool SetMute(bool muted) = 0;
};

// One per arming. What it saves is what the owner had before the first
// forcing of an alarm: re-forcing during the same alarm (after someone turned
// the sound down) keeps those values, and Restore drops them once written, so
// an unlock after no alarm writes nothing. A value whose read failed is not
// saved and so never written back. Endpoint values are kept per endpoint:
// when the default changes during the alarm (earphones plugged in), the new
// one is forced too, and each is given back at unlock.
class VolumeGuard {
public:
    // The endpoint may be null.
    VolumeGuard(std::unique_ptr<MixerDevice> mixer, std::unique_ptr<AudioEndpoint> endpoint)
        : mixer_(std::move(mixer)), endpoint_(std::move(endpoint))
    {
    }

    // Full volume and unmuted, on the mixer and the endpoint reached.
    void ForceFullVolume();
    // Whether the mixer is muted or turned down.
    bool IsBelowFull();
    void Restore();
    // After a crash: writes back what the record holds, as Restore would,
    // opening the mixer without notices when it holds a value of the mixer's
    // (nothing at all is reached for a record of nothing).
    void GiveBack(const VolumeRecord& record);
    // Forces the endpoint again if it was turned down or muted; for its change
    // notices while the siren sounds.
    void ReforceEndpoint();
    // The default endpoint changed: reaches the new one and, when forcing
    // (the siren sounds), forces it full and unmuted after saving its values.
    void FollowDefaultEndpoint(bool force);
    // When the endpoint that was the default at arming is no longer the
    // default (a USB or Bluetooth device plugged in made itself the default),
    // forces it full and unmuted (its values saved first, like any forced
    // endpoint's), reaches the default one again and returns its id: the
    // siren keeps sounding there too. Empty, forcing nothing, otherwise.
    std::u16string ForceArmingEndpoint();

    // At arming: opens the mixer for its change messages and reaches the
    // endpoint now, so that starting the alarm later costs no device lookup.
    // False, reaching nothing, when the mixer would not open.
    [[nodiscard]] bool OpenWithWindow(uintptr_t window);
    // At unlock: closes the mixer and lets go of the endpoint.
    void CloseMixer();

    // One mixer value, which a MixerValue names; 0 when it cannot be read,
    // and a value that cannot be read is not written.
    uint32_t Read(size_t which);
    void Write(size_t which, uint32_t value);

    // What Restore would give back: the mixer's values, and each endpoint's in
    // the order they were first forced. The listener is called each time
    // another value has been read and before the first write over it, so it
    // can be kept outside the process first.
    const VolumeRecord& Saved() const { return saved_; }
    void SetSavedListener(std::function<void(const VolumeRecord&)> listener) { savedListener_ = std::move(listener); }

private:
    void Select(size_t which);
    bool AttachEndpoint();
    void ForceEndpoint();
    void NoteSaved(bool saved);

    std::unique_ptr<MixerDevice> mixer_;
    uint32_t controlId_ = 0;
    bool ready_ = false;  // a control is chosen, and the last call on it worked
    std::unique_ptr<AudioEndpoint> endpoint_;
    bool endpointAttached_ = false;
    std::u16string armingEndpointId_;  // the default at OpenWithWindow
    VolumeRecord saved_;  // a value not saved is 0
    std::function<void(const VolumeRecord&)> savedListener_;
};
