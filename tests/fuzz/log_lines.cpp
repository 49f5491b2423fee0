// The fuzz targets' owner's log: each text a fuzzed step logs is made into a
// line, which must stay one line within its limit, and then dropped.
#include "fuzz_input.h"
#include "win32/event_log.h"

void LogEvent(std::string_view utf8Text) noexcept
{
    const std::string line = FormatLogLine({2026, 12, 9, 10, 0, 0}, utf8Text);
    FUZZ_CHECK(line.find('\n') == line.size() - 1);
    FUZZ_CHECK(line.size() <= sizeof "2026-12-09 10:00:00  " - 1 + LOG_TEXT_LIMIT + 1);
}
