#include "online/push_waiting.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint8_t MARK[] = {'K', 'P', 'W'};
constexpr uint8_t VERSION = 1;
constexpr size_t HEAD_BYTES = sizeof MARK + 2;

// The five texts in their order, to read into or write from.
template <class Push>
auto Fields(Push& push) -> std::array<decltype(&push.firstTried), 5>
{
    return {&push.firstTried, &push.message.title, &push.message.priority, &push.message.tags, &push.message.body};
}

bool IsHeaderText(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x7F;
    });
}

}  // namespace

std::vector<uint8_t> EncodePushWaiting(const std::vector<WaitingPush>& waiting)
{
    std::vector<uint8_t> bytes(MARK, MARK + sizeof MARK);
    bytes.push_back(VERSION);
    bytes.push_back(0);
    for (const WaitingPush& push : waiting) {
        std::vector<uint8_t> one;
        for (const std::string* field : Fields(push)) {
            one.push_back(uint8_t(field->size()));
            one.push_back(uint8_t(field->size() >> 8));
            one.insert(one.end(), field->begin(), field->end());
        }
        if (bytes[HEAD_BYTES - 1] == PUSH_WAITING_MAX_MESSAGES || bytes.size() + one.size() > PUSH_WAITING_MAX_BYTES)
            break;
        ++bytes[HEAD_BYTES - 1];
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

std::optional<std::vector<WaitingPush>> DecodePushWaiting(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < HEAD_BYTES || bytes.size() > PUSH_WAITING_MAX_BYTES ||
        !std::equal(MARK, MARK + sizeof MARK, bytes.begin()) || bytes[sizeof MARK] != VERSION ||
        bytes[HEAD_BYTES - 1] > PUSH_WAITING_MAX_MESSAGES)
        return std::nullopt;
    std::vector<WaitingPush> waiting(bytes[HEAD_BYTES - 1]);
    size_t at = HEAD_BYTES;
    for (WaitingPush& push : waiting) {
        for (std::string* field : Fields(push)) {
            // A 16-bit little-endian length, then the bytes; a cut value reads as nothing.
            const size_t length = bytes.size() - at < 2 ? 0 : size_t(bytes[at]) | size_t(bytes[at + 1]) << 8;
            if (bytes.size() - at < 2 + length)
                return std::nullopt;
            field->assign(bytes.begin() + at + 2, bytes.begin() + at + 2 + length);
            at += 2 + length;
            // Every field but the body is one line of printable ASCII.
            if (field != &push.message.body && !IsHeaderText(*field))
                return std::nullopt;
        }
    }
    if (at != bytes.size())
        return std::nullopt;
    return waiting;
}

PushMessage FirstTriedMarked(const WaitingPush& waiting)
{
    PushMessage message = waiting.message;
    message.body += "\nFirst tried: " + waiting.firstTried;
    return message;
}
