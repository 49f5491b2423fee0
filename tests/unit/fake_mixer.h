// A mixer and an audio endpoint in memory, for the volume and alarm tests.
// Their state lives outside the device objects so a test can look at it after
// handing the device to the guard.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fake_give_back.h"
#include "guard/volume_guard.h"

constexpr uint32_t SPEAKERS_LINE = 0xFFFF0000;
constexpr uint32_t COMPONENT_SRC_LINE = 0x1002;
constexpr uint32_t COMPONENT_SRC_CD = 0x1005;

// Control ids of the usual layout.
constexpr uint32_t MASTER_VOLUME = 1, MASTER_MUTE = 2, WAVE_VOLUME = 3, WAVE_MUTE = 4;

struct FakeMixerState {
    struct Source {
        uint32_t lineId;
        uint32_t componentType;
    };
    uint32_t deviceCount = 1;
    uint32_t openResult = 0;
    bool failDestination = false;
    std::set<uint32_t> failingSources;  // indexes
    std::vector<Source> sources;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> controls;  // (line, type) -> id
    std::map<uint32_t, uint32_t> values;                         // id -> value
    std::set<uint32_t> failingReads;
    std::set<uint32_t> failingWrites;
    std::set<uint32_t> readsLeaveValue;  // success without writing, as Wine does
    std::vector<uint32_t> valuesHandedToReads;
    std::vector<std::pair<uint32_t, uint32_t>> writes;  // (id, value)
    std::vector<std::string>* log = nullptr;
    int opens = 0;
    int closes = 0;
    bool open = false;
    uintptr_t window = 0;

    void AddControl(uint32_t line, uint32_t type, uint32_t id, uint32_t value)
    {
        controls[{line, type}] = id;
        values[id] = value;
    }
};

// Speakers with master volume and mute, a CD line, then wave-out with its own.
inline FakeMixerState UsualMixer(uint32_t masterVolume = 0x4000, uint32_t waveVolume = 0x8000,
                                 uint32_t masterMute = 1, uint32_t waveMute = 1)
{
    FakeMixerState state;
    state.sources = {{10, COMPONENT_SRC_CD}, {11, GUARD_MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT}, {12, COMPONENT_SRC_LINE}};
    state.AddControl(SPEAKERS_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, MASTER_VOLUME, masterVolume);
    state.AddControl(SPEAKERS_LINE, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, MASTER_MUTE, masterMute);
    state.AddControl(11, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, WAVE_VOLUME, waveVolume);
    state.AddControl(11, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, WAVE_MUTE, waveMute);
    state.AddControl(10, GUARD_MIXERCONTROL_CONTROLTYPE_VOLUME, 20, 0x1111);
    state.AddControl(10, GUARD_MIXERCONTROL_CONTROLTYPE_MUTE, 21, 0);
    return state;
}

class FakeMixerDevice : public MixerDevice {
public:
    explicit FakeMixerDevice(FakeMixerState& state) : s_(state) {}

    uint32_t DeviceCount() override { return s_.deviceCount; }
    uint32_t Open(uintptr_t window) override
    {
        ++s_.opens;
        if (s_.openResult == 0) {
            s_.open = true;
            s_.window = window;
        }
        return s_.openResult;
    }
    void Close() override
    {
        ++s_.closes;
        s_.open = false;
    }
    uint32_t GetDestination(uint32_t componentType, MixerLine& line) override
    {
        if (!s_.open || s_.failDestination || componentType != GUARD_MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
            return 8;
        line = {0, SPEAKERS_LINE, componentType, uint32_t(s_.sources.size())};
        return 0;
    }
    uint32_t GetSource(uint32_t destination, uint32_t index, MixerLine& line) override
    {
        if (!s_.open || destination != 0 || index >= s_.sources.size() || s_.failingSources.count(index))
            return 8;
        line = {0, s_.sources[index].lineId, s_.sources[index].componentType, 0};
        return 0;
    }
    uint32_t GetControl(uint32_t lineId, uint32_t controlType, uint32_t& controlId) override
    {
        auto found = s_.controls.find({lineId, controlType});
        if (!s_.open || found == s_.controls.end())
            return 1025;
        controlId = found->second;
        return 0;
    }
    uint32_t ReadValue(uint32_t controlId, uint32_t& value) override
    {
        s_.valuesHandedToReads.push_back(value);
        if (!s_.open || s_.failingReads.count(controlId) || !s_.values.count(controlId))
            return 1024;
        if (!s_.readsLeaveValue.count(controlId))
            value = s_.values[controlId];
        return 0;
    }
    uint32_t WriteValue(uint32_t controlId, uint32_t value) override
    {
        if (!s_.open || s_.failingWrites.count(controlId) || !s_.values.count(controlId))
            return 1024;
        s_.values[controlId] = value;
        s_.writes.push_back({controlId, value});
        if (s_.log)
            s_.log->push_back("mixer " + std::to_string(controlId) + "=" + std::to_string(value));
        return 0;
    }

private:
    FakeMixerState& s_;
};

struct FakeEndpointLevels {
    float volume = 0.25f;
    bool muted = true;
};

// The endpoints of the system: "speakers", whose levels are volume and
// muted, and any others by id; defaultId names the default one.
struct FakeEndpointState {
    bool attachable = true;
    bool implemented = true;  // false: every call fails, as Wine's stub does
    float volume = 0.25f;
    bool muted = true;
    std::map<std::u16string, FakeEndpointLevels> others;
    std::u16string defaultId = u"speakers";
    int attaches = 0;
    int detaches = 0;
    bool attached = false;
    std::u16string attachedId;
    std::vector<std::string> writes;  // those to another endpoint than "speakers" name it first
    std::vector<std::string>* log = nullptr;
};

class FakeEndpoint : public AudioEndpoint {
public:
    explicit FakeEndpoint(FakeEndpointState& state) : s_(state) {}

    bool Attach() override
    {
        ++s_.attaches;
        return Reach(s_.defaultId);
    }
    bool AttachTo(const std::u16string& id) override { return Reach(id); }
    void Detach() override
    {
        ++s_.detaches;
        s_.attached = false;
        s_.attachedId.clear();
    }
    std::u16string Id() override { return s_.attached ? s_.attachedId : std::u16string(); }
    bool GetVolume(float& level) override
    {
        if (!Usable())
            return false;
        level = *Volume();
        return true;
    }
    bool SetVolume(float level) override
    {
        if (!Usable())
            return false;
        *Volume() = level;
        Note("volume " + std::to_string(level));
        return true;
    }
    bool GetMute(bool& muted) override
    {
        if (!Usable())
            return false;
        muted = *Muted();
        return true;
    }
    bool SetMute(bool muted) override
    {
        if (!Usable())
            return false;
        *Muted() = muted;
        Note(muted ? "mute on" : "mute off");
        return true;
    }

private:
    bool IsSpeakers() const { return s_.attachedId == u"speakers"; }
    bool Reach(const std::u16string& id)
    {
        s_.attached = s_.attachable && (id == u"speakers" || s_.others.count(id));
        s_.attachedId = s_.attached ? id : std::u16string();
        return s_.attached;
    }
    float* Volume() { return IsSpeakers() ? &s_.volume : &s_.others[s_.attachedId].volume; }
    bool* Muted() { return IsSpeakers() ? &s_.muted : &s_.others[s_.attachedId].muted; }
    bool Usable() const { return s_.attached && s_.implemented; }
    void Note(const std::string& text)
    {
        std::string line = text;
        if (!IsSpeakers())
            line = std::string(s_.attachedId.begin(), s_.attachedId.end()) + ": " + text;
        s_.writes.push_back(line);
        if (s_.log)
            s_.log->push_back("endpoint " + line);
    }
    FakeEndpointState& s_;
};
