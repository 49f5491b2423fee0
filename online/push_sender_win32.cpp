#include "online/push_sender_win32.h"

#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "win32/detached_thread_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

namespace {

// A try ends within a minute (the time-outs in online/push_post_win32.cpp):
// the next message waits no longer than that for its turn.
constexpr DWORD FIRST_TRY_TURN_MS = 60000;

// A manual-reset event shared by the threads that wait on it; null when it
// could not be made, and then the waits below only sleep.
using SharedEvent = std::shared_ptr<ScopedHandle>;

SharedEvent NewEvent()
{
    auto event = std::make_shared<ScopedHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (*event)
        return event;
    LogFailedCall("CreateEventW", GetLastError());
    return nullptr;
}

void Set(const SharedEvent& event)
{
    if (event && !SetEvent(event->Get()))
        LogFailedCall("SetEvent", GetLastError());
}

// True when the event is set within ms.
bool WaitFor(const SharedEvent& event, DWORD ms)
{
    if (!event) {
        Sleep(ms);
        return false;
    }
    return WaitForSingleObject(event->Get(), ms) == WAIT_OBJECT_0;
}

// The messages not yet taken, in the order they came, and what their threads
// share: the event the next unlock sets, and the end of the last message's
// first try. The lock is held by the thread that queues a message or
// finishes one, over the list and its registry value together.
struct Waiting {
    struct Entry {
        uint64_t id;
        WaitingPush push;
    };
    std::mutex lock;
    std::vector<Entry> entries;
    uint64_t lastId = 0;
    SharedEvent nextUnlock;
    SharedEvent lastFirstTry;
    void (*whenNone)() = nullptr;
};

// Never destroyed: a message's thread may be in a try as the process ends.
Waiting& TheWaiting()
{
    static Waiting* waiting = new Waiting;
    return *waiting;
}

// Under the lock.
void SaveEntries(const Waiting& waiting)
{
    std::vector<WaitingPush> pushes;
    for (const Waiting::Entry& entry : waiting.entries)
        pushes.push_back(entry.push);
    SavePushWaiting(pushes);
}

// One message, as its thread tries it.
struct Walk {
    uint64_t id = 0;
    PushTarget target;
    PushMessage message;
    SharedEvent unlock;      // set by the next unlock
    SharedEvent turn;        // set when the message before has had its first try; null: none before
    SharedEvent firstTried;  // set when this one has
    SharedEvent taken;       // set when it is taken, for whoever waits for that
};

void Forget(uint64_t id)
{
    Waiting& waiting = TheWaiting();
    void (*action)() = nullptr;
    {
        std::lock_guard<std::mutex> hold(waiting.lock);
        for (auto entry = waiting.entries.begin(); entry != waiting.entries.end(); ++entry) {
            if (entry->id == id) {
                waiting.entries.erase(entry);
                break;
            }
        }
        SaveEntries(waiting);
        if (waiting.entries.empty())
            std::swap(action, waiting.whenNone);
    }
    if (action)
        action();
}

void TryUntilSettled(const Walk& walk)
{
    if (walk.turn)
        WaitFor(walk.turn, FIRST_TRY_TURN_MS);
    for (unsigned tries = 0;; ++tries) {
        const bool lastTry = WaitFor(walk.unlock, 0);
        const PushOutcome outcome = PostPush(walk.target, walk.message);
        if (tries == 0)
            Set(walk.firstTried);
        const PushSettled settled = SettleTry(tries, outcome.Taken(), lastTry, WaitFor(walk.unlock, 0));
        LogEvent(PushTryLogLine(walk.message.title, tries, outcome, settled));
        if (settled.after != PushAfter::Again) {
            if (settled.after == PushAfter::Taken)
                Set(walk.taken);
            Forget(walk.id);
            return;
        }
        WaitFor(walk.unlock, DWORD(settled.pauseMs));
    }
}

// Notes the messages as waiting, then starts a thread for each. resent: from
// an earlier run, to be marked with its first time.
void Queue(const PushTarget& target, std::vector<WaitingPush> pushes, bool resent, const SharedEvent& taken)
{
    Waiting& waiting = TheWaiting();
    std::vector<Walk> walks(pushes.size());
    {
        std::lock_guard<std::mutex> hold(waiting.lock);
        if (!waiting.nextUnlock)
            waiting.nextUnlock = NewEvent();
        for (size_t i = 0; i < pushes.size(); ++i) {
            Walk& walk = walks[i];
            walk.id = ++waiting.lastId;
            walk.target = target;
            walk.message = resent ? FirstTriedMarked(pushes[i]) : pushes[i].message;
            walk.unlock = waiting.nextUnlock;
            walk.firstTried = NewEvent();
            walk.turn = std::exchange(waiting.lastFirstTry, walk.firstTried);
            walk.taken = taken;
            waiting.entries.push_back({walk.id, std::move(pushes[i])});
        }
        SaveEntries(waiting);
    }
    for (const Walk& walk : walks) {
        // One that will not start still waits in PushWaiting, for the next start.
        if (!StartDetachedThread([walk] { TryUntilSettled(walk); }))
            Set(walk.firstTried);
    }
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

// Queues the message Make builds from the computer's name and the time, and
// waits at most waitTakenMs for it to be taken.
template <class Make>
void QueueNew(const PushTarget& target, const char* what, Make make, unsigned waitTakenMs = 0) noexcept
{
    try {
        if (CheckPushAddress(target.url) != PushAddressCheck::Valid)
            return;
        const LocalTime now = LocalNow();
        const SharedEvent taken = waitTakenMs > 0 ? NewEvent() : nullptr;
        Queue(target, {WaitingPush{EventTimeText(now), make(ComputerName(), now)}}, false, taken);
        if (taken)
            WaitFor(taken, waitTakenMs);
    } catch (const std::bad_alloc&) {
        // The caller goes on: a siren or an unlock never fails for a message.
        LogEvent(std::string("Push: the ") + what + " message was lost (out of memory)");
    }
}

}  // namespace

void ResendWaitingPushes(const PushTarget& target) noexcept
{
    try {
        std::vector<WaitingPush> left = LoadPushWaiting();
        if (left.empty())
            return;
        if (CheckPushAddress(target.url) != PushAddressCheck::Valid) {
            LogEvent("Push: " + std::to_string(left.size()) + " message(s) left waiting dropped: no push address");
            SavePushWaiting({});
            return;
        }
        Queue(target, std::move(left), true, nullptr);
    } catch (const std::bad_alloc&) {
        LogEvent("Push: the messages left waiting were not sent again (out of memory)");
    }
}

void WhenNoPushWaits(void (*action)()) noexcept
{
    Waiting& waiting = TheWaiting();
    {
        std::lock_guard<std::mutex> hold(waiting.lock);
        if (!waiting.entries.empty()) {
            waiting.whenNone = action;
            return;
        }
    }
    action();
}

void QueueAlarmPush(const PushTarget& target, const std::string& causeText) noexcept
{
    QueueNew(target, "alarm", [&](const std::string& computer, const LocalTime& now) {
        return AlarmPush(causeText, computer, now);
    });
}

void QueueUnlockPush(const PushTarget& target, std::optional<int64_t> sirenSeconds, uint32_t wrongPasswords) noexcept
{
    Waiting& waiting = TheWaiting();
    SharedEvent unlock;
    {
        std::lock_guard<std::mutex> hold(waiting.lock);
        unlock = std::move(waiting.nextUnlock);
    }
    // Wakes every message waiting for its next try: one last, at once.
    Set(unlock);
    QueueNew(target, "disarmed", [&](const std::string& computer, const LocalTime& now) {
        return UnlockPush(sirenSeconds, wrongPasswords, computer, now);
    });
}

void QueueGiveBackPush(const PushTarget& target) noexcept
{
    QueueNew(target, "give-back", GiveBackPush);
}

void QueueBatteryLowPush(const PushTarget& target) noexcept
{
    QueueNew(target, "battery", BatteryLowPush);
}

void SendStoppedWhileArmedPush(const PushTarget& target, unsigned timeoutMs) noexcept
{
    QueueNew(target, "stopped-while-armed", StoppedWhileArmedPush, timeoutMs);
}

bool StartPushTest(HWND window, UINT message, const PushTarget& target) noexcept
{
    try {
        return StartDetachedThread([window, message, target] {
            std::unique_ptr<PushOutcome> outcome(
                new PushOutcome(PostPush(target, TestPush(ComputerName(), LocalNow()))));
            LogEvent("Push test message: " + PushOutcomeText(*outcome));
            if (PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(outcome.get())))
                outcome.release();  // the window owns it now
        });
    } catch (const std::bad_alloc&) {
        return false;  // out of memory: no test, as when the thread will not start
    }
}
