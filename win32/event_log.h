// The owner's log: one plain UTF-8 line per event, with its local time, so
// that the owner (and whoever helps them) can see what happened while they
// were away and why something failed. Nothing secret is ever passed in: no
// password, no account password, no hash, no push token.
//
// LogEvent only takes the time, builds the line and queues it; a writer
// thread of the log's own does the disk. So a hook or the guard never waits
// on the disk, and a log that cannot be written never stops the alarm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One line; the time is added here. Never throws, never blocks on the disk.
void LogEvent(std::string_view utf8Text);

// The file grows to about this size; then it becomes the one older file kept
// (replacing the last) and a new file starts.
constexpr uint64_t LOG_FILE_LIMIT = 256 * 1024;
// A longer event text is cut (at a character's start) to keep a line a line.
constexpr size_t LOG_TEXT_LIMIT = 512;
// Lines waiting for the writer; more are counted and reported, not kept.
constexpr size_t LOG_QUEUE_LIMIT = 512;

struct LogTime {
    int year, month, day, hour, minute, second;
};

// "2026-12-08 23:05:20  text\n": the text with every control character made a
// space, bytes that are not UTF-8 made U+FFFD, and cut at LOG_TEXT_LIMIT.
std::string FormatLogLine(const LogTime& time, std::string_view utf8Text);

// The current file and the one older file, as the writer sees them.
class LogFiles {
public:
    virtual uint64_t CurrentSize() noexcept = 0;  // 0 when there is no file
    virtual bool Append(std::string_view bytes) noexcept = 0;
    // The current file becomes the older one, replacing it.
    virtual bool KeepAsOlder() noexcept = 0;

protected:
    ~LogFiles() = default;
};

// Appends whole lines; when they would take the current file past limit,
// the current file is kept as the older one first. A failed step is
// returned, and the caller has nobody to tell but the debugger.
[[nodiscard]] bool AppendWithinLimit(LogFiles& files, std::string_view lines,
                                     uint64_t limit = LOG_FILE_LIMIT) noexcept;

// Points the writer at files and starts it once. Lines logged before are
// queued (up to the limit) and written then. files must live to the end.
void StartEventLog(LogFiles& files) noexcept;

// Waits, at most timeoutMs, until the lines logged so far are written; the
// orderly end calls it, and tests do. Returns whether all were written.
bool FlushEventLog(unsigned timeoutMs = 2000) noexcept;
