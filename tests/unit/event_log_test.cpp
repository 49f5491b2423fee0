// The owner's log: one clean UTF-8 line per event, the file kept under its
// size with one older file, and LogEvent reaching the file through the writer.
#include <gtest/gtest.h>

#include "app/event_log.h"
#include "fake_log_files.h"

namespace {

struct LineCase {
    const char* why;
    std::string text;
    std::string expected;  // after the time
};

TEST(EventLog, OneCleanUtf8LinePerEvent)
{
    const std::string longText(LOG_TEXT_LIMIT - 1, 'a');
    const LineCase cases[] = {
        {"plain", "Armed; triggers: mouse moved", "Armed; triggers: mouse moved"},
        {"UTF-8 kept", "\xE7\xA7\xBB\xE5\x8A\xA8 \xF0\x9F\x94\x94", "\xE7\xA7\xBB\xE5\x8A\xA8 \xF0\x9F\x94\x94"},
        {"a line stays a line", "one\r\ntwo\tthree\x7F", "one  two three "},
        {"stray bytes", "a\xFF" "b\xC0\xAF" "c", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c"},
        {"a surrogate is no character", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut short inside a character", "x\xE7\xA7", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut at a character's start", longText + "\xE7\xA7\xBB", longText},
        {"cut at the limit", longText + "bc", longText + "b"},
        {"empty", "", ""},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(FormatLogLine({2026, 12, 8, 7, 5, 9}, c.text), "2026-12-08 07:05:09  " + c.expected + "\n")
            << c.why;
    }
}

struct LimitCase {
    const char* why;
    size_t before;     // bytes in the current file
    size_t olderFiles;  // already kept
    size_t line;
    size_t after;
    size_t olderAfter;
};

TEST(EventLog, KeptUnderItsSizeWithOneOlderFile)
{
    const LimitCase cases[] = {
        {"room left", 90, 0, 10, 100, 0},
        {"past the limit: kept as older", 91, 0, 10, 10, 1},
        {"the older one replaced", 95, 1, 10, 10, 1},
        {"a first line longer than the limit", 0, 0, 150, 150, 0},
    };
    for (const LimitCase& c : cases) {
        struct OneOlder final : LogFiles {
            size_t current = 0, older = 0;
            uint64_t CurrentSize() noexcept override { return current; }
            bool Append(std::string_view bytes) noexcept override { return current += bytes.size(), true; }
            bool KeepAsOlder() noexcept override { return older = 1, current = 0, true; }
        } files;
        files.current = c.before;
        files.older = c.olderFiles;
        EXPECT_TRUE(AppendWithinLimit(files, std::string(c.line, 'x'), 100)) << c.why;
        EXPECT_EQ(files.current, c.after) << c.why;
        EXPECT_EQ(files.older, c.olderAfter) << c.why;
    }
}

TEST(EventLog, LinesReachTheFileInOrderAndAFailureIsReturned)
{
    FakeLogFiles& log = TestLog();
    log.TakeTexts();
    LogEvent("first");
    LogEvent("second");
    EXPECT_EQ(log.TakeTexts(), (std::vector<std::string>{"first", "second"}));

    FakeLogFiles failing;
    failing.failKeep = true;
    failing.current = std::string(LOG_FILE_LIMIT, 'x');
    EXPECT_FALSE(AppendWithinLimit(failing, "line\n"));
}

}  // namespace
