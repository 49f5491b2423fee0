// The push messages not yet taken, kept in the registry value "PushWaiting"
// so that a message the network never took outlives the process: the next
// start sends each again, marked with the time it was first tried. The
// value holds the messages only, never the address or its token, which the
// next start takes from the settings. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "online/push_notice.h"

struct WaitingPush {
    std::string firstTried;  // EventTimeText of its first try
    PushMessage message;
};

// Bounds of the value: what does not fit is left out, the oldest kept.
constexpr size_t PUSH_WAITING_MAX_MESSAGES = 16;
constexpr size_t PUSH_WAITING_MAX_BYTES = 16384;

// "KPW", a version byte, a count byte, then for each message its first time,
// title, priority, tags, body and photo's file name, each a 16-bit
// little-endian length and its bytes.
std::vector<uint8_t> EncodePushWaiting(const std::vector<WaitingPush>& waiting);
// Nothing for a value this version did not write whole: a wrong mark or
// version, a cut or over-long value, bytes left over, or a header field that
// is not printable ASCII (it goes into the request's headers).
std::optional<std::vector<WaitingPush>> DecodePushWaiting(const std::vector<uint8_t>& bytes);
