// The owner's log: one clean UTF-8 line per event.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "win32/event_log.h"

namespace {

TEST(EventLog, OneCleanUtf8LinePerEvent)
{
    const std::string full(LOG_TEXT_LIMIT - 1, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"Armed; triggers: mouse moved", "Armed; triggers: mouse moved"},
        {"\xE7\xA7\xBB\xE5\x8A\xA8 \xF0\x9F\x94\x94", "\xE7\xA7\xBB\xE5\x8A\xA8 \xF0\x9F\x94\x94"},  // kept
        {"one\r\ntwo\tthree\x7F", "one  two three "},  // a line stays a line
        {"a\xFF" "b\xC0\xAF" "c", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c"},  // stray and overlong
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate is no character
        {"x\xE7\xA7", "x\xEF\xBF\xBD\xEF\xBF\xBD"},  // cut short inside a character
        {full + "\xE7\xA7\xBB", full},  // cut at a character's start
        {full + "bc", full + "b"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(FormatLogLine({2026, 12, 8, 7, 5, 9}, text), "2026-12-08 07:05:09  " + expected + "\n");
}

}  // namespace
