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

size_t EncodedSize(const WaitingPush& waiting)
{
    size_t size = 0;
    for (const std::string* field : Fields(waiting))
        size += 2 + field->size();
    return size;
}

bool IsHeaderText(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x7F;
    });
}

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    // False when the value ends before the field does.
    bool Field(std::string& text)
    {
        if (bytes_.size() - at_ < 2)
            return false;
        const size_t length = size_t(bytes_[at_]) | size_t(bytes_[at_ + 1]) << 8;
        at_ += 2;
        if (bytes_.size() - at_ < length)
            return false;
        text.assign(bytes_.begin() + at_, bytes_.begin() + at_ + length);
        at_ += length;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }
    void Skip(size_t count) { at_ += count; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodePushWaiting(const std::vector<WaitingPush>& waiting)
{
    std::vector<uint8_t> bytes(MARK, MARK + sizeof MARK);
    bytes.push_back(VERSION);
    bytes.push_back(0);
    for (const WaitingPush& push : waiting) {
        if (bytes[HEAD_BYTES - 1] == PUSH_WAITING_MAX_MESSAGES ||
            bytes.size() + EncodedSize(push) > PUSH_WAITING_MAX_BYTES)
            break;
        ++bytes[HEAD_BYTES - 1];
        for (const std::string* field : Fields(push)) {
            bytes.push_back(uint8_t(field->size()));
            bytes.push_back(uint8_t(field->size() >> 8));
            bytes.insert(bytes.end(), field->begin(), field->end());
        }
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
    Reader reader(bytes);
    reader.Skip(HEAD_BYTES);
    for (WaitingPush& push : waiting) {
        for (std::string* field : Fields(push)) {
            if (!reader.Field(*field))
                return std::nullopt;
        }
        const PushMessage& message = push.message;
        if (!IsHeaderText(push.firstTried) || !IsHeaderText(message.title) || !IsHeaderText(message.priority) ||
            !IsHeaderText(message.tags))
            return std::nullopt;
    }
    if (!reader.AtEnd())
        return std::nullopt;
    return waiting;
}

PushMessage FirstTriedMarked(const WaitingPush& waiting)
{
    PushMessage message = waiting.message;
    message.body += "\nFirst tried: " + waiting.firstTried;
    return message;
}
