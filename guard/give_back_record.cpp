#include "guard/give_back_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

bool Writable(const SavedEndpointVolume& endpoint)
{
    const float volume = endpoint.volume;
    return !endpoint.id.empty() && endpoint.id.size() <= GIVE_BACK_MAX_ID_UNITS &&
           endpoint.id.find(u'\0') == std::u16string::npos &&
           (!endpoint.volumeSaved || (std::isfinite(volume) && volume >= 0.0f && volume <= 1.0f));
}

// Each field little-endian, as wide as its type.
struct Writer {
    template <class T>
    void Field(const T& value)
    {
        uint32_t bits = 0;
        if constexpr (std::is_floating_point_v<T>)
            std::memcpy(&bits, &value, sizeof value);
        else
            bits = uint32_t(value);
        for (size_t i = 0; i < sizeof value; ++i)
            bytes.push_back(uint8_t(bits >> (8 * i)));
    }

    std::vector<uint8_t> bytes;
};

// Reads 0 past the end. What it makes of any bytes is kept only when writing
// it again gives those very bytes: that one check refuses whatever no writer
// makes (a flag of 2, a value behind an unsaved flag, a list past its limit).
struct Reader {
    template <class T>
    void Field(T& value)
    {
        uint32_t bits = 0;
        for (size_t i = 0; i < sizeof value; ++i, ++at)
            bits |= uint32_t(at < bytes.size() ? bytes[at] : 0) << (8 * i);
        if constexpr (std::is_floating_point_v<T>)
            std::memcpy(&value, &bits, sizeof value);
        else
            value = T(bits);
    }

    const std::vector<uint8_t>& bytes;
    size_t at = 0;
};

// A value not saved is written as 0, and not read into the record.
template <class Io, class T>
void Saved(Io& io, bool& saved, T& value)
{
    T unsaved = T();
    io.Field(saved);
    io.Field(saved ? value : unsaved);
}

// A list's length, as wide as its limit; a reader's list sized by it.
template <class Io, class List, class Count>
void Size(Io& io, List& list, Count limit)
{
    Count count = Count(list.size());
    io.Field(count);
    list.resize(count <= limit ? count : 0);
}

// The record's fields in their order in the value, for writing and reading alike.
template <class Io>
void Fields(Io& io, GiveBackRecord& record, uint16_t& version)
{
    uint8_t magic[] = {'K', 'G', 'B', 'R'};
    for (uint8_t& byte : magic)
        io.Field(byte);
    io.Field(version);
    for (uint8_t& byte : record.power.scheme)
        io.Field(byte);
    const size_t held = version == 1 ? HELD_POWER_SETTINGS_VERSION_1 : HELD_POWER_SETTING_COUNT;
    for (size_t setting = 0; setting < held; ++setting)
        for (SavedWord& word : record.power.actions[setting])
            Saved(io, word.saved, word.value);
    for (bool& cleared : record.shortcuts)
        io.Field(cleared);
    for (SavedWord& word : record.volume.mixer)
        Saved(io, word.saved, word.value);
    Size(io, record.volume.endpoints, uint8_t(GIVE_BACK_MAX_ENDPOINTS));
    for (SavedEndpointVolume& endpoint : record.volume.endpoints) {
        Size(io, endpoint.id, uint16_t(GIVE_BACK_MAX_ID_UNITS));
        for (char16_t& unit : endpoint.id)
            io.Field(unit);
        Saved(io, endpoint.volumeSaved, endpoint.volume);
        Saved(io, endpoint.muteSaved, endpoint.muted);
    }
}

std::vector<uint8_t> Encode(GiveBackRecord record, uint16_t version)
{
    auto& endpoints = record.volume.endpoints;
    endpoints.erase(std::remove_if(endpoints.begin(), endpoints.end(),
                                   [](const SavedEndpointVolume& endpoint) { return !Writable(endpoint); }),
                    endpoints.end());
    endpoints.resize(std::min(endpoints.size(), GIVE_BACK_MAX_ENDPOINTS));
    Writer out;
    Fields(out, record, version);
    return out.bytes;
}

}  // namespace

std::vector<uint8_t> EncodeGiveBackRecord(const GiveBackRecord& record)
{
    return Encode(record, GIVE_BACK_RECORD_VERSION);
}

std::optional<GiveBackRecord> DecodeGiveBackRecord(const std::vector<uint8_t>& bytes)
{
    GiveBackRecord record;
    uint16_t version = 0;
    Reader in{bytes};
    Fields(in, record, version);
    if ((version != 1 && version != GIVE_BACK_RECORD_VERSION) || Encode(record, version) != bytes)
        return std::nullopt;
    return record;
}
