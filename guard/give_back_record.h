// What arming changed on the machine and must give back, as one small binary
// value of the program's key, so a killed or crashed armed process is mended
// at the next start. The settings load never reads this value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The value's name under the settings key, and its registry type (REG_BINARY).
constexpr char GIVE_BACK_VALUE_NAME[] = "GiveBack";
constexpr uint32_t REGISTRY_TYPE_BINARY = 3;
constexpr uint16_t GIVE_BACK_RECORD_VERSION = 2;
// Larger than any record this version writes; a bigger value is not ours.
constexpr size_t GIVE_BACK_RECORD_MAX_BYTES = 16384;
constexpr size_t GIVE_BACK_MAX_ENDPOINTS = 8;
constexpr size_t GIVE_BACK_MAX_ID_UNITS = 512;

// One owner's value, and whether it was read (an unread one is never written).
struct SavedWord {
    uint32_t value = 0;
    bool saved = false;
};

// The power settings held while armed, on mains and on battery: the lid,
// power-button and sleep-button actions, and whether sleep states (S1 to S3)
// are allowed at all, which is what the power menu's Sleep asks for.
enum HeldPowerSetting : size_t {
    POWER_LID_CLOSE, POWER_BUTTON, POWER_SLEEP_BUTTON, POWER_ALLOW_STANDBY, HELD_POWER_SETTING_COUNT
};
// A record of version 1 held the first three only.
constexpr size_t HELD_POWER_SETTINGS_VERSION_1 = 3;
enum PowerSource : size_t { POWER_ON_AC, POWER_ON_DC, POWER_SOURCE_COUNT };
using PowerScheme = std::array<uint8_t, 16>;  // the scheme GUID as it lies in memory

struct PowerActionsRecord {
    PowerScheme scheme = {};
    std::array<std::array<SavedWord, POWER_SOURCE_COUNT>, HELD_POWER_SETTING_COUNT> actions = {};
};

// Sticky Keys, Filter Keys and Toggle Keys: whether each one's hot key was on
// and has been switched off.
enum Shortcut : size_t { SHORTCUT_STICKY_KEYS, SHORTCUT_FILTER_KEYS, SHORTCUT_TOGGLE_KEYS, SHORTCUT_COUNT };
using ShortcutsCleared = std::array<bool, SHORTCUT_COUNT>;

// The mixer's four forced controls, in the order they are given back.
enum MixerValue : size_t {
    MIXER_WAVE_OUT_VOLUME, MIXER_MASTER_VOLUME, MIXER_WAVE_OUT_MUTE, MIXER_MASTER_MUTE, MIXER_VALUE_COUNT
};

// The owner's sound on one endpoint, found again by its id.
struct SavedEndpointVolume {
    std::u16string id;
    float volume = 0;  // 0 to 1
    bool volumeSaved = false;
    bool muted = false;
    bool muteSaved = false;
};

struct VolumeRecord {
    std::array<SavedWord, MIXER_VALUE_COUNT> mixer = {};
    std::vector<SavedEndpointVolume> endpoints;
};

struct GiveBackRecord {
    PowerActionsRecord power;
    ShortcutsCleared shortcuts = {};
    VolumeRecord volume;
};

// Endpoints past the limit, ids longer than the limit and volumes outside 0..1
// are left out, so that what is written always decodes.
std::vector<uint8_t> EncodeGiveBackRecord(const GiveBackRecord& record);
// Nothing unless the bytes are a whole record of this version or of version 1
// (left by the program before an update): right magic and version, every flag
// 0 or 1, volumes within 0..1, no byte left over.
std::optional<GiveBackRecord> DecodeGiveBackRecord(const std::vector<uint8_t>& bytes);
