// The log's files in memory: what the writer appended and kept as older.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/event_log.h"

class FakeLogFiles final : public LogFiles {
public:
    std::mutex lock;  // the writer thread appends while a test reads
    std::string current;
    std::vector<std::string> older;  // each file kept, oldest first
    bool failAppend = false;
    bool failKeep = false;

    uint64_t CurrentSize() noexcept override { return current.size(); }
    bool Append(std::string_view bytes) noexcept override
    {
        std::lock_guard<std::mutex> hold(lock);
        if (failAppend)
            return false;
        current += bytes;
        return true;
    }
    bool KeepAsOlder() noexcept override
    {
        std::lock_guard<std::mutex> hold(lock);
        if (failKeep)
            return false;
        older.push_back(current);
        current.clear();
        return true;
    }
    // The event texts written since the last call, without their times.
    std::vector<std::string> TakeTexts()
    {
        FlushEventLog();
        std::lock_guard<std::mutex> hold(lock);
        std::vector<std::string> texts;
        for (size_t at = 0; at < current.size();) {
            const size_t end = current.find('\n', at);
            texts.push_back(current.substr(at + 21, end - at - 21));
            at = end + 1;
        }
        current.clear();
        return texts;
    }
};

// The one log every unit test shares, as the program has one.
inline FakeLogFiles& TestLog()
{
    static FakeLogFiles files;
    static const bool started = (StartEventLog(files), true);
    (void)started;
    return files;
}
