// The owner's log in memory, for tests that check what a step logs.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "win32/event_log.h"

class FakeLogFiles final : public LogFiles {
public:
    uint64_t CurrentSize() noexcept override { return 0; }
    bool Append(std::string_view bytes) noexcept override
    {
        std::lock_guard<std::mutex> hold(lock_);
        written_ += bytes;
        return true;
    }
    bool KeepAsOlder() noexcept override { return true; }

    // The event texts written since the last call, without their times.
    std::vector<std::string> TakeTexts()
    {
        FlushEventLog();
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<std::string> texts;
        for (size_t at = 0, end; (end = written_.find('\n', at)) != std::string::npos; at = end + 1)
            texts.push_back(written_.substr(at + 21, end - at - 21));
        written_.clear();
        return texts;
    }

private:
    std::mutex lock_;  // the writer thread appends while a test reads
    std::string written_;
};

// The one log every unit test shares, as the program has one.
inline FakeLogFiles& TestLog()
{
    static FakeLogFiles* files = [] {
        auto* made = new FakeLogFiles;
        StartEventLog(*made);
        return made;
    }();
    return *files;
}
