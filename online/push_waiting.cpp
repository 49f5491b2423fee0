#include "online/push_waiting.h"

#include <algorithm>
#include <array>

namespace {

// The mark, the version and a count of none. Version 1, without the photo's
// name, is still read.
constexpr uint8_t HEAD[] = {'K', 'P', 'W', 2, 0};
constexpr size_t VERSION_AT = 3, COUNT_AT = sizeof HEAD - 1;

// The six texts in their order, to read into or write from.
template <class Push>
auto Fields(Push& push) -> std::array<decltype(&push.firstTried), 6>
{
    return {&push.firstTried, &push.message.title, &push.message.priority, &push.message.tags, &push.message.body,
            &push.message.photo};
}

}  // namespace

std::vector<uint8_t> EncodePushWaiting(const std::vector<WaitingPush>& waiting)
{
    std::vector<uint8_t> bytes(HEAD, HEAD + sizeof HEAD);
    for (const WaitingPush& push : waiting) {
        std::vector<uint8_t> one;
        for (const std::string* field : Fields(push)) {
            one.insert(one.end(), {uint8_t(field->size()), uint8_t(field->size() >> 8)});
            one.insert(one.end(), field->begin(), field->end());
        }
        if (bytes[COUNT_AT] == PUSH_WAITING_MAX_MESSAGES || bytes.size() + one.size() > PUSH_WAITING_MAX_BYTES)
            break;
        ++bytes[COUNT_AT];
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

std::optional<std::vector<WaitingPush>> DecodePushWaiting(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < sizeof HEAD || bytes.size() > PUSH_WAITING_MAX_BYTES ||
        !std::equal(HEAD, HEAD + VERSION_AT, bytes.begin()) || (bytes[VERSION_AT] != 1 && bytes[VERSION_AT] != 2) ||
        bytes[COUNT_AT] > PUSH_WAITING_MAX_MESSAGES)
        return std::nullopt;
    std::vector<WaitingPush> waiting(bytes[COUNT_AT]);
    size_t at = sizeof HEAD;
    for (WaitingPush& push : waiting) {
        for (std::string* field : Fields(push)) {
            if (field == &push.message.photo && bytes[VERSION_AT] == 1)
                break;
            // A 16-bit little-endian length, then the bytes; a cut value reads as nothing.
            const size_t length = bytes.size() - at < 2 ? 0 : size_t(bytes[at]) | size_t(bytes[at + 1]) << 8;
            if (bytes.size() - at < 2 + length)
                return std::nullopt;
            field->assign(bytes.begin() + at + 2, bytes.begin() + at + 2 + length);
            at += 2 + length;
            // Every field but the body is one line of printable ASCII: it goes into the request.
            if (field != &push.message.body &&
                !std::all_of(field->begin(), field->end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
                return std::nullopt;
        }
    }
    if (at != bytes.size())
        return std::nullopt;
    return waiting;
}
