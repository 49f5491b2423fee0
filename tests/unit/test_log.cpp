#include "test_log.h"

#include <mutex>
#include <utility>

namespace {

std::mutex lock;  // a test's threads may log while it reads
std::vector<std::string> texts;

}  // namespace

void LogEvent(std::string_view utf8Text) noexcept
{
    std::lock_guard<std::mutex> hold(lock);
    texts.emplace_back(utf8Text);
}

std::vector<std::string> TakeLoggedTexts()
{
    std::lock_guard<std::mutex> hold(lock);
    return std::exchange(texts, {});
}
