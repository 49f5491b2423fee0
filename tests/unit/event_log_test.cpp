// The owner's log: one clean UTF-8 line per event, the file kept under its
// size with one older file, and LogEvent reaching the file through the writer.
#include <gtest/gtest.h>

#include "fake_log_files.h"

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

TEST(EventLog, KeptUnderItsSizeWithOneOlderFile)
{
    struct Files final : LogFiles {
        uint64_t current = 0;
        int kept = 0;
        bool keepFails = false;
        uint64_t CurrentSize() noexcept override { return current; }
        bool Append(std::string_view bytes) noexcept override { return current += bytes.size(), true; }
        bool KeepAsOlder() noexcept override { return !keepFails && (current = 0, ++kept); }
    };
    // Bytes before, line, whether keeping fails; bytes after, files kept, result.
    const uint64_t cases[][6] = {
        {90, 10, 0, 100, 0, 1},  // room left
        {91, 10, 0, 10, 1, 1},   // past the limit: kept as the older one
        {0, 150, 0, 150, 0, 1},  // a first line longer than the limit
        {95, 10, 1, 105, 0, 0},  // not kept: written all the same, and reported
    };
    for (const auto& c : cases) {
        Files files;
        files.current = c[0];
        files.keepFails = c[2] != 0;
        EXPECT_EQ(AppendWithinLimit(files, std::string(c[1], 'x'), 100), c[5] != 0) << c[0];
        EXPECT_EQ(files.current, c[3]) << c[0];
        EXPECT_EQ(uint64_t(files.kept), c[4]) << c[0];
    }
}

TEST(EventLog, LinesReachTheFileInOrder)
{
    TestLog().TakeTexts();
    LogEvent("first");
    LogEvent("second");
    EXPECT_EQ(TestLog().TakeTexts(), (std::vector<std::string>{"first", "second"}));
}

}  // namespace
