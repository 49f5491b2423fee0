#include "win32/event_log.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence that starts text[at], or 0 when it is not
// a well-formed one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t SequenceLength(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

LogTime LocalNow() noexcept
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour, local.tm_min, local.tm_sec};
}

// Shared by every thread that logs and the one writer. Made once and never
// destroyed: the writer may still run while the process ends.
struct LogState {
    std::mutex lock;
    std::condition_variable work;     // lines queued, for the writer
    std::condition_variable written;  // a batch done, for FlushEventLog
    std::string queued;               // whole lines
    size_t queuedLines = 0;
    size_t dropped = 0;
    uint64_t logged = 0;   // lines taken in, dropped ones included
    uint64_t handled = 0;  // of those, written or given up on
    LogFiles* files = nullptr;
    bool started = false;
};

LogState& State()
{
    static LogState* state = new LogState;
    return *state;
}

void WriterLoop(LogState& state)
{
    std::unique_lock<std::mutex> hold(state.lock);
    for (;;) {
        state.work.wait(hold, [&] { return !state.queued.empty() || state.dropped != 0; });
        std::string batch;
        batch.swap(state.queued);
        const uint64_t upTo = state.logged;
        const size_t dropped = state.dropped;
        state.queuedLines = 0;
        state.dropped = 0;
        LogFiles& files = *state.files;
        hold.unlock();
        if (dropped != 0) {
            batch += FormatLogLine(LocalNow(), std::to_string(dropped) +
                                                   " events were not logged: they came faster than the disk took them");
        }
        // Nothing to tell when this fails: the log is the place it would go.
        (void)AppendWithinLimit(files, batch);
        hold.lock();
        state.handled = upTo;
        state.written.notify_all();
    }
}

}  // namespace

std::string FormatLogLine(const LogTime& time, std::string_view utf8Text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", time.year % 10000,
                  time.month % 100, time.day % 100, time.hour % 100, time.minute % 100,
                  time.second % 100);
    std::string line(stamp);
    const size_t textStart = line.size();
    for (size_t at = 0; at < utf8Text.size();) {
        const size_t length = SequenceLength(utf8Text, at);
        const std::string_view piece = length == 0 ? REPLACEMENT : utf8Text.substr(at, length);
        if (line.size() - textStart + piece.size() > LOG_TEXT_LIMIT)
            break;
        const unsigned char lead = static_cast<unsigned char>(piece[0]);
        if (lead < 0x20 || lead == 0x7F)
            line += ' ';
        else
            line += piece;
        at += length == 0 ? 1 : length;
    }
    line += '\n';
    return line;
}

bool AppendWithinLimit(LogFiles& files, std::string_view lines, uint64_t limit) noexcept
{
    const uint64_t size = files.CurrentSize();
    bool kept = true;
    if (size != 0 && size + lines.size() > limit)
        kept = files.KeepAsOlder();
    return files.Append(lines) && kept;
}

void LogEvent(std::string_view utf8Text)
{
    try {
        std::string line = FormatLogLine(LocalNow(), utf8Text);
        LogState& state = State();
        std::lock_guard<std::mutex> hold(state.lock);
        ++state.logged;
        if (state.queuedLines >= LOG_QUEUE_LIMIT) {
            ++state.dropped;
        } else {
            state.queued += line;
            ++state.queuedLines;
        }
        if (state.started)
            state.work.notify_one();
    } catch (const std::bad_alloc&) {
        // Out of memory: the event is lost, the caller goes on (the callback
        // edge among them, which must not throw).
    } catch (const std::system_error&) {
        // The same when the lock fails.
    }
}

void StartEventLog(LogFiles& files) noexcept
{
    try {
        LogState& state = State();
        std::lock_guard<std::mutex> hold(state.lock);
        state.files = &files;
        if (!state.started) {
            std::thread(WriterLoop, std::ref(state)).detach();
            state.started = true;
        }
        state.work.notify_one();
    } catch (const std::system_error&) {
        // No thread (std::thread says so by throwing): lines stay queued, up
        // to the limit, and the program goes on.
    } catch (const std::bad_alloc&) {
        // The same, out of memory.
    }
}

bool FlushEventLog(unsigned timeoutMs) noexcept
{
    try {
        LogState& state = State();
        std::unique_lock<std::mutex> hold(state.lock);
        if (!state.started)
            return false;
        const uint64_t upTo = state.logged;
        return state.written.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                      [&] { return state.handled >= upTo; });
    } catch (const std::system_error&) {
        return false;  // the lock or the wait failed: the caller goes on unflushed
    }
}
