// The owner's log: one plain UTF-8 line per event, with its local time, so
// that the owner (and whoever helps them) can see what happened while they
// were away and why something failed. Nothing secret is ever passed in: no
// password, no account password, no hash, no push token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Appends one line, the time added here, to the owner's log file, and
// returns when it is written. Never throws and never fails the caller: a
// line that cannot be written is lost. It waits on the disk, so no hook
// procedure calls it, nor the alarm before its siren sounds. Defined for
// Windows in win32/event_log_win32.cpp; the unit tests and the fuzz targets
// link their own.
void LogEvent(std::string_view utf8Text) noexcept;

// The file grows to about this size; then it becomes the one older file kept
// (replacing the last) and a new file starts.
constexpr uint64_t LOG_FILE_LIMIT = 256 * 1024;
// A longer event text is cut (at a character's start) to keep a line a line.
constexpr size_t LOG_TEXT_LIMIT = 512;

struct LogTime {
    int year, month, day, hour, minute, second;
};

// "2026-12-08 23:05:20  text\n": the text with every control character made a
// space, bytes that are not UTF-8 made U+FFFD, and cut at LOG_TEXT_LIMIT.
std::string FormatLogLine(const LogTime& time, std::string_view utf8Text);
