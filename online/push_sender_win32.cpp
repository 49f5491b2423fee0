#include "online/push_sender_win32.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "win32/callback_edge_win32.h"
#include "win32/detached_thread_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

namespace {

struct Sender {
    std::mutex lock;
    std::condition_variable wake;
    PushQueue queue;
    bool running = false;
    // When this arming's siren began (GetTickCount64), for the unlock message.
    std::optional<uint64_t> sirenStartMs;
};

// Never destroyed: its thread may be in the middle of a try as the process ends.
Sender& TheSender()
{
    static Sender* sender = new Sender;
    return *sender;
}

int64_t NowMs()
{
    return int64_t(GetTickCount64());
}

LocalTime LocalNow()
{
    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    GetSystemTime(&utc);
    GetLocalTime(&local);
    FILETIME utcFile = {};
    FILETIME localFile = {};
    LocalTime time{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, 0};
    if (SystemTimeToFileTime(&utc, &utcFile) && SystemTimeToFileTime(&local, &localFile)) {
        const auto ticks = [](const FILETIME& file) {
            return int64_t(uint64_t(file.dwHighDateTime) << 32 | file.dwLowDateTime);
        };
        // 100 ns ticks, rounded to the minute: the two reads may straddle a second.
        const int64_t minute = 600000000;
        const int64_t difference = ticks(localFile) - ticks(utcFile);
        time.utcOffsetMinutes = int((difference + (difference < 0 ? -minute / 2 : minute / 2)) / minute);
    }
    return time;
}

std::string ComputerName()
{
    wchar_t name[256] = {};
    DWORD length = DWORD(sizeof name / sizeof name[0]);
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length)) {
        length = DWORD(sizeof name / sizeof name[0]);
        if (!GetComputerNameW(name, &length))
            return "this computer";
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, int(length), nullptr, 0, nullptr, nullptr);
    std::string text(size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, name, int(length), &text[0], bytes, nullptr, nullptr);
    return text.empty() ? "this computer" : text;
}

// Waits for the first due message and takes it out of the queue.
PushJob NextJob(Sender& sender)
{
    std::unique_lock<std::mutex> hold(sender.lock);
    for (;;) {
        const int64_t now = NowMs();
        if (std::optional<PushJob> job = sender.queue.TakeDue(now))
            return std::move(*job);
        if (std::optional<int64_t> next = sender.queue.NextDueMs())
            sender.wake.wait_for(hold, std::chrono::milliseconds(*next - now));
        else
            sender.wake.wait(hold);
    }
}

DWORD SenderThreadBody()
{
    Sender& sender = TheSender();
    for (;;) {
        try {
            const PushJob job = NextJob(sender);
            const PushOutcome outcome = PostPush(job.target, job.message);
            PushSettled settled;
            {
                std::lock_guard<std::mutex> hold(sender.lock);
                settled = sender.queue.Settle(job, outcome.Taken(), NowMs());
            }
            LogEvent(PushTryLogLine(job, outcome, settled));
        } catch (const std::bad_alloc& error) {
            // Out of memory: the message in hand is lost, the thread and the
            // messages still queued go on.
            LogEvent(std::string("Push message lost: ") + error.what());
            Sleep(1000);
        }
    }
}

DWORD WINAPI SenderThread(void*) noexcept
{
    return AtCallbackEdge(DWORD(0), [] { return SenderThreadBody(); });
}

// Under the sender's lock.
void StartSenderOnce(Sender& sender)
{
    if (sender.running)
        return;
    const ScopedHandle thread(CreateThread(nullptr, 0, SenderThread, nullptr, 0, nullptr));
    if (!thread) {
        LogFailedCall("CreateThread", GetLastError());
        return;
    }
    sender.running = true;
}

void Queue(const PushTarget& target, const PushMessage& message)
{
    Sender& sender = TheSender();
    {
        std::lock_guard<std::mutex> hold(sender.lock);
        sender.queue.Add(target, message, NowMs());
        StartSenderOnce(sender);
    }
    sender.wake.notify_one();
}

}  // namespace

void QueueAlarmPush(const PushTarget& target, AlarmCause cause) noexcept
{
    try {
        {
            Sender& sender = TheSender();
            std::lock_guard<std::mutex> hold(sender.lock);
            sender.sirenStartMs = GetTickCount64();
        }
        if (CheckPushAddress(target.url) == PushAddressCheck::Valid)
            Queue(target, AlarmPush(cause, ComputerName(), LocalNow()));
    } catch (const std::bad_alloc&) {
        // The siren sounds all the same.
        LogEvent("Push: the alarm message was lost (out of memory)");
    }
}

void QueueUnlockPush(const PushTarget& target, uint32_t wrongPasswords) noexcept
{
    try {
        Sender& sender = TheSender();
        std::optional<int64_t> sirenSeconds;
        {
            std::lock_guard<std::mutex> hold(sender.lock);
            if (sender.sirenStartMs)
                sirenSeconds = int64_t((GetTickCount64() - *sender.sirenStartMs) / 1000);
            sender.sirenStartMs.reset();
            sender.queue.LastTryForAll(NowMs());
        }
        sender.wake.notify_one();
        if (CheckPushAddress(target.url) != PushAddressCheck::Valid)
            return;
        Queue(target, UnlockPush(sirenSeconds, wrongPasswords, ComputerName(), LocalNow()));
    } catch (const std::bad_alloc&) {
        LogEvent("Push: the disarmed message was lost (out of memory)");
    }
}

void QueueGiveBackPush(const PushTarget& target) noexcept
{
    try {
        if (CheckPushAddress(target.url) == PushAddressCheck::Valid)
            Queue(target, GiveBackPush(ComputerName(), LocalNow()));
    } catch (const std::bad_alloc&) {
        LogEvent("Push: the give-back message was lost (out of memory)");
    }
}

bool StartPushTest(HWND window, UINT message, const PushTarget& target) noexcept
{
    try {
        return StartDetachedThread([window, message, target] {
            std::unique_ptr<PushOutcome> outcome(new PushOutcome(PostPush(target, TestPush(ComputerName(), LocalNow()))));
            LogEvent("Push test message: " + PushOutcomeText(*outcome));
            if (PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(outcome.get())))
                outcome.release();  // the window owns it now
        });
    } catch (const std::bad_alloc&) {
        return false;  // out of memory: no test, as when the thread will not start
    }
}
