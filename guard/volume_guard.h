// Full volume for the siren, and the owner's sound given back at unlock. Two
// paths: the mixer (device 0: the speakers line and its wave-out source), and
// the default render endpoint, because since Vista the mixer reaches only the
// program's own audio session and a muted system would keep the siren silent.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "guard/give_back_record.h"
#include "guard/mixer.h"

// The system's default playback endpoint (Core Audio on Windows). Every call
// may fail (no endpoint, or a system that does not offer the interface); the
// guard then carries on with the mixer alone.
class AudioEndpoint {
public:
    virtual ~AudioEndpoint() = default;
    // Reaches the endpoint that is the default now, with change notices on;
    // false when there is none.
    virtual bool Attach() = 0;
    virtual void Detach() = 0;
    virtual bool GetVolume(float& level) = 0;  // 0 to 1
    virtual bool SetVolume(float level) = 0;
    virtual bool GetMute(bool& muted) = 0;
    virtual bool SetMute(bool muted) = 0;
    // The attached endpoint's id (empty when none is attached or it has none).
    virtual std::u16string Id() { return {}; }
};

// One per process. What it saves is what the owner had before the first
// forcing of an alarm: re-forcing during the same alarm (after someone turned
// the sound down) keeps those values, and Restore drops them once written, so
// an unlock after no alarm writes nothing. A value whose read failed is not
// saved and so never written back.
class VolumeGuard {
public:
    // Opens mixer device 0; throws MixerOpenError. The endpoint may be null.
    VolumeGuard(std::unique_ptr<MixerDevice> mixer, std::unique_ptr<AudioEndpoint> endpoint);

    void ForceFullVolume();
    void Unmute();
    bool IsMuted();
    bool IsBelowFull();
    void Restore();
    // Forces the endpoint again if it was turned down or muted; for its change
    // notices while the siren sounds.
    void ReforceEndpoint();

    // At arming: reopens the mixer for its change messages (throws
    // MixerOpenError) and reaches the endpoint now, so that starting the
    // alarm later costs no device lookup.
    void OpenWithWindow(uintptr_t window);
    // At unlock: closes the mixer and lets go of the endpoint.
    void CloseMixer();
    COrvekMixer& Mixer() { return mixer_; }

    // Called each time another of the owner's values has been read and before
    // the first write over it, so it can be kept outside the process first.
    void SetSavedListener(std::function<void()> listener) { savedListener_ = std::move(listener); }
    std::array<SavedWord, MIXER_VALUE_COUNT> SavedMixer() const;
    std::vector<SavedEndpointVolume> SavedEndpoints() const;

private:
    struct Saved {
        uint32_t value = 0;
        bool valid = false;
    };
    void ForceStep(uint32_t line, uint32_t control, Saved& saved, uint32_t value);
    void RestoreStep(uint32_t line, uint32_t control, Saved& saved);
    uint32_t Read(uint32_t line, uint32_t control);
    bool AttachEndpoint();

    Saved waveOutMute_;
    Saved masterMute_;
    Saved masterVolume_;
    Saved waveOutVolume_;
    COrvekMixer mixer_;

    std::unique_ptr<AudioEndpoint> endpoint_;
    bool endpointAttached_ = false;
    float savedEndpointVolume_ = 0;
    bool endpointVolumeSaved_ = false;
    bool savedEndpointMute_ = false;
    bool endpointMuteSaved_ = false;
    std::u16string savedEndpointId_;
    std::function<void()> savedListener_;
    void NoteSaved(bool saved);
};
