#include "guard/give_back_record.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t MAGIC[4] = {'K', 'G', 'B', 'R'};

bool UsableVolume(float volume)
{
    return std::isfinite(volume) && volume >= 0.0f && volume <= 1.0f;
}

bool Writable(const SavedEndpointVolume& endpoint)
{
    return !endpoint.id.empty() && endpoint.id.size() <= GIVE_BACK_MAX_ID_UNITS &&
           endpoint.id.find(u'\0') == std::u16string::npos && (!endpoint.volumeSaved || UsableVolume(endpoint.volume));
}

// Little-endian, as many bytes as the field has.
class Writer {
public:
    void Int(uint32_t value, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            bytes.push_back(uint8_t(value >> (8 * i)));
    }
    void Saved(const SavedWord& word)
    {
        Int(word.saved, 1);
        Int(word.saved ? word.value : 0, 4);
    }

    std::vector<uint8_t> bytes;
};

// Once the input runs out or holds a value no writer makes, the reader has
// failed for good and every later read gives 0; the caller asks Ok() at the end.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    uint32_t Int(size_t size)
    {
        uint32_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value |= uint32_t(Require(pos_ < bytes_.size()) ? bytes_[pos_++] : 0) << (8 * i);
        return value;
    }
    bool Flag()
    {
        const uint32_t byte = Int(1);
        return Require(byte <= 1) && byte == 1;
    }
    SavedWord Saved()
    {
        SavedWord word;
        word.saved = Flag();
        word.value = Int(4);
        Require(word.saved || word.value == 0);
        return word;
    }
    bool Require(bool condition) { return ok_ = ok_ && condition; }
    bool Ok() const { return ok_ && pos_ == bytes_.size(); }

private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

void ReadEndpoint(Reader& in, SavedEndpointVolume& endpoint)
{
    const uint32_t units = in.Int(2);
    if (!in.Require(units != 0 && units <= GIVE_BACK_MAX_ID_UNITS))
        return;
    for (uint32_t i = 0; i < units && in.Require(true); ++i)
        endpoint.id.push_back(char16_t(in.Int(2)));
    in.Require(endpoint.id.find(u'\0') == std::u16string::npos);
    endpoint.volumeSaved = in.Flag();
    const uint32_t volumeBits = in.Int(4);
    std::memcpy(&endpoint.volume, &volumeBits, sizeof volumeBits);
    endpoint.muteSaved = in.Flag();
    endpoint.muted = in.Flag();
    in.Require(endpoint.volumeSaved ? UsableVolume(endpoint.volume) : volumeBits == 0);
    in.Require(endpoint.muteSaved || !endpoint.muted);
}

}  // namespace

bool PowerActionsRecord::Any() const
{
    for (const auto& setting : actions)
        for (const SavedWord& word : setting)
            if (word.saved)
                return true;
    return false;
}

bool VolumeRecord::Any() const
{
    for (const SavedWord& word : mixer)
        if (word.saved)
            return true;
    for (const SavedEndpointVolume& endpoint : endpoints)
        if (endpoint.volumeSaved || endpoint.muteSaved)
            return true;
    return false;
}

std::vector<uint8_t> EncodeGiveBackRecord(const GiveBackRecord& record)
{
    Writer out;
    for (uint8_t byte : MAGIC)
        out.Int(byte, 1);
    out.Int(GIVE_BACK_RECORD_VERSION, 2);
    for (uint8_t byte : record.power.scheme)
        out.Int(byte, 1);
    for (const auto& setting : record.power.actions)
        for (const SavedWord& word : setting)
            out.Saved(word);
    for (bool cleared : record.shortcuts)
        out.Int(cleared, 1);
    for (const SavedWord& word : record.volume.mixer)
        out.Saved(word);

    std::vector<const SavedEndpointVolume*> endpoints;
    for (const SavedEndpointVolume& endpoint : record.volume.endpoints)
        if (Writable(endpoint) && endpoints.size() < GIVE_BACK_MAX_ENDPOINTS)
            endpoints.push_back(&endpoint);
    out.Int(uint32_t(endpoints.size()), 1);
    for (const SavedEndpointVolume* endpoint : endpoints) {
        out.Int(uint32_t(endpoint->id.size()), 2);
        for (char16_t unit : endpoint->id)
            out.Int(unit, 2);
        uint32_t volumeBits = 0;
        if (endpoint->volumeSaved)
            std::memcpy(&volumeBits, &endpoint->volume, sizeof volumeBits);
        out.Int(endpoint->volumeSaved, 1);
        out.Int(volumeBits, 4);
        out.Int(endpoint->muteSaved, 1);
        out.Int(endpoint->muteSaved && endpoint->muted, 1);
    }
    return out.bytes;
}

std::optional<GiveBackRecord> DecodeGiveBackRecord(const std::vector<uint8_t>& bytes)
{
    Reader in(bytes);
    for (uint8_t expected : MAGIC)
        in.Require(in.Int(1) == expected);
    const uint32_t version = in.Int(2);
    in.Require(version == GIVE_BACK_RECORD_VERSION || version == 1);

    GiveBackRecord record;
    for (uint8_t& byte : record.power.scheme)
        byte = uint8_t(in.Int(1));
    const size_t held = version == 1 ? HELD_POWER_SETTINGS_VERSION_1 : HELD_POWER_SETTING_COUNT;
    for (size_t setting = 0; setting < held; ++setting)
        for (SavedWord& word : record.power.actions[setting])
            word = in.Saved();
    for (bool& cleared : record.shortcuts)
        cleared = in.Flag();
    for (SavedWord& word : record.volume.mixer)
        word = in.Saved();
    const uint32_t count = in.Int(1);
    record.volume.endpoints.resize(in.Require(count <= GIVE_BACK_MAX_ENDPOINTS) ? count : 0);
    for (SavedEndpointVolume& endpoint : record.volume.endpoints)
        ReadEndpoint(in, endpoint);
    return in.Ok() ? std::optional<GiveBackRecord>(record) : std::nullopt;
}
