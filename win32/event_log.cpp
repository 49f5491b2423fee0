#include "win32/event_log.h"

#include <cstdio>

namespace {

constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence that starts text[at], or 0 when it is not
// a well-formed one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t SequenceLength(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const size_t length = lead < 0xC2 ? 0 : lead <= 0xDF ? 2 : lead <= 0xEF ? 3 : lead <= 0xF4 ? 4 : 0;
    // The second byte's range: narrower after E0, ED, F0 and F4.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || at + length > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

}  // namespace

std::string FormatLogLine(const LogTime& time, std::string_view utf8Text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", time.year % 10000, time.month % 100,
                  time.day % 100, time.hour % 100, time.minute % 100, time.second % 100);
    std::string line(stamp);
    const size_t textStart = line.size();
    for (size_t at = 0; at < utf8Text.size();) {
        const size_t length = SequenceLength(utf8Text, at);
        const std::string_view piece = length == 0 ? REPLACEMENT : utf8Text.substr(at, length);
        if (line.size() - textStart + piece.size() > LOG_TEXT_LIMIT)
            break;
        const unsigned char lead = static_cast<unsigned char>(piece[0]);
        line += lead < 0x20 || lead == 0x7F ? std::string_view(" ") : piece;
        at += length == 0 ? 1 : length;
    }
    line += '\n';
    return line;
}
