#include "guard/give_back_record.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t MAGIC[4] = {'K', 'G', 'B', 'R'};

bool Saved(const SavedWord& word)
{
    return word.saved;
}

bool UsableVolume(float volume)
{
    return std::isfinite(volume) && volume >= 0.0f && volume <= 1.0f;
}

bool Writable(const SavedEndpointVolume& endpoint)
{
    return !endpoint.id.empty() && endpoint.id.size() <= GIVE_BACK_MAX_ID_UNITS &&
           endpoint.id.find(u'\0') == std::u16string::npos && (!endpoint.volumeSaved || UsableVolume(endpoint.volume));
}

class Writer {
public:
    void Byte(uint8_t value) { bytes.push_back(value); }
    void Half(uint16_t value)
    {
        Byte(uint8_t(value));
        Byte(uint8_t(value >> 8));
    }
    void Word(uint32_t value)
    {
        Half(uint16_t(value));
        Half(uint16_t(value >> 16));
    }
    void Flag(bool value) { Byte(value ? 1 : 0); }
    void Saved(const SavedWord& word)
    {
        Flag(word.saved);
        Word(word.saved ? word.value : 0);
    }

    std::vector<uint8_t> bytes;
};

// Every read fails once the input runs out or holds a value no writer makes.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool Byte(uint8_t& value)
    {
        if (pos_ >= bytes_.size())
            return false;
        value = bytes_[pos_++];
        return true;
    }
    bool Half(uint16_t& value)
    {
        uint8_t low = 0, high = 0;
        if (!Byte(low) || !Byte(high))
            return false;
        value = uint16_t(low | high << 8);
        return true;
    }
    bool Word(uint32_t& value)
    {
        uint16_t low = 0, high = 0;
        if (!Half(low) || !Half(high))
            return false;
        value = uint32_t(low) | uint32_t(high) << 16;
        return true;
    }
    bool Flag(bool& value)
    {
        uint8_t byte = 0;
        if (!Byte(byte) || byte > 1)
            return false;
        value = byte == 1;
        return true;
    }
    bool Saved(SavedWord& word)
    {
        return Flag(word.saved) && Word(word.value) && (word.saved || word.value == 0);
    }
    bool AtEnd() const { return pos_ == bytes_.size(); }

private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
};

uint32_t FloatBits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(uint32_t bits)
{
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool ReadEndpoint(Reader& reader, SavedEndpointVolume& endpoint)
{
    uint16_t units = 0;
    if (!reader.Half(units) || units == 0 || units > GIVE_BACK_MAX_ID_UNITS)
        return false;
    for (uint16_t i = 0; i < units; ++i) {
        uint16_t unit = 0;
        if (!reader.Half(unit) || unit == 0)
            return false;
        endpoint.id.push_back(char16_t(unit));
    }
    uint32_t volumeBits = 0;
    if (!reader.Flag(endpoint.volumeSaved) || !reader.Word(volumeBits) || !reader.Flag(endpoint.muteSaved) ||
        !reader.Flag(endpoint.muted))
        return false;
    endpoint.volume = BitsFloat(volumeBits);
    if (endpoint.volumeSaved ? !UsableVolume(endpoint.volume) : volumeBits != 0)
        return false;
    return endpoint.muteSaved || !endpoint.muted;
}

}  // namespace

bool PowerActionsRecord::Any() const
{
    for (const auto& button : actions)
        for (const SavedWord& word : button)
            if (Saved(word))
                return true;
    return false;
}

bool VolumeRecord::Any() const
{
    for (const SavedWord& word : mixer)
        if (Saved(word))
            return true;
    for (const SavedEndpointVolume& endpoint : endpoints)
        if (endpoint.volumeSaved || endpoint.muteSaved)
            return true;
    return false;
}

bool GiveBackRecord::Any() const
{
    for (bool cleared : shortcuts)
        if (cleared)
            return true;
    return power.Any() || volume.Any();
}

std::vector<uint8_t> EncodeGiveBackRecord(const GiveBackRecord& record)
{
    Writer out;
    for (uint8_t byte : MAGIC)
        out.Byte(byte);
    out.Half(GIVE_BACK_RECORD_VERSION);
    for (uint8_t byte : record.power.scheme)
        out.Byte(byte);
    for (const auto& button : record.power.actions)
        for (const SavedWord& word : button)
            out.Saved(word);
    for (bool cleared : record.shortcuts)
        out.Flag(cleared);
    for (const SavedWord& word : record.volume.mixer)
        out.Saved(word);

    std::vector<const SavedEndpointVolume*> endpoints;
    for (const SavedEndpointVolume& endpoint : record.volume.endpoints)
        if (Writable(endpoint) && endpoints.size() < GIVE_BACK_MAX_ENDPOINTS)
            endpoints.push_back(&endpoint);
    out.Byte(uint8_t(endpoints.size()));
    for (const SavedEndpointVolume* endpoint : endpoints) {
        out.Half(uint16_t(endpoint->id.size()));
        for (char16_t unit : endpoint->id)
            out.Half(uint16_t(unit));
        out.Flag(endpoint->volumeSaved);
        out.Word(endpoint->volumeSaved ? FloatBits(endpoint->volume) : 0);
        out.Flag(endpoint->muteSaved);
        out.Flag(endpoint->muteSaved && endpoint->muted);
    }
    return out.bytes;
}

std::optional<GiveBackRecord> DecodeGiveBackRecord(const std::vector<uint8_t>& bytes)
{
    Reader in(bytes);
    for (uint8_t expected : MAGIC) {
        uint8_t byte = 0;
        if (!in.Byte(byte) || byte != expected)
            return std::nullopt;
    }
    uint16_t version = 0;
    if (!in.Half(version) || (version != GIVE_BACK_RECORD_VERSION && version != 1))
        return std::nullopt;

    GiveBackRecord record;
    for (uint8_t& byte : record.power.scheme)
        if (!in.Byte(byte))
            return std::nullopt;
    const size_t held = version == 1 ? HELD_POWER_SETTINGS_VERSION_1 : HELD_POWER_SETTING_COUNT;
    for (size_t setting = 0; setting < held; ++setting)
        for (SavedWord& word : record.power.actions[setting])
            if (!in.Saved(word))
                return std::nullopt;
    for (bool& cleared : record.shortcuts)
        if (!in.Flag(cleared))
            return std::nullopt;
    for (SavedWord& word : record.volume.mixer)
        if (!in.Saved(word))
            return std::nullopt;
    uint8_t count = 0;
    if (!in.Byte(count) || count > GIVE_BACK_MAX_ENDPOINTS)
        return std::nullopt;
    record.volume.endpoints.resize(count);
    for (SavedEndpointVolume& endpoint : record.volume.endpoints)
        if (!ReadEndpoint(in, endpoint))
            return std::nullopt;
    if (!in.AtEnd())
        return std::nullopt;
    return record;
}
