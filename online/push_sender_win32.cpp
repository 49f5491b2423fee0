#include "online/push_sender_win32.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <shlobj.h>

#include "online/push_kinds.h"
#include "online/push_waiting.h"
#include "settings/registry_store_win32.h"
#include "win32/detached_thread_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

namespace {

// A try ends within a minute (the time-outs in online/push_post_win32.cpp):
// the next message waits no longer than that for its turn.
constexpr std::chrono::minutes FIRST_TRY_TURN(1);

constexpr char PUSH_WAITING_VALUE[] = "PushWaiting";

// The value under the program's key, beside the settings: the messages in
// the order they came. Saving nothing deletes it.
void SavePushWaiting(const std::map<uint64_t, WaitingPush>& numbered)
{
    const OpenedKey opened = OpenSettingsKey();
    if (!opened.key)
        return;
    std::vector<WaitingPush> pushes;
    for (const auto& entry : numbered)
        pushes.push_back(entry.second);
    if (pushes.empty()) {
        if (!opened.key->Delete(PUSH_WAITING_VALUE))
            LogEvent("Push: the value PushWaiting could not be deleted");
    } else {
        LogIfError(opened.key->Write(PUSH_WAITING_VALUE, {REG_BINARY, EncodePushWaiting(pushes)}, TextWidth::Wide),
                   "RegSetValueExW");
    }
}

// The messages not yet taken, numbered in the order they came, and what
// their threads share. The lock is held by a thread that queues a message,
// unlocks or settles one, over the list and its registry value together;
// never over a try, a pause or a log line.
struct Waiting {
    std::mutex lock;
    std::condition_variable changed;  // an unlock, a first try, a message settled
    std::map<uint64_t, WaitingPush> pushes;
    uint64_t lastNumber = 0;
    uint64_t firstTryTurn = 1;  // the message whose first try may go now
    unsigned unlocks = 0;
    void (*whenNone)() = nullptr;
};

// Never destroyed: a message's thread may be in a try as the process ends.
Waiting& waiting = *new Waiting;

uint64_t Queue(const PushTarget& target, const std::vector<WaitingPush>& pushes, bool resent);

// Under the lock: the message after this one may have its first try.
void PassTurn(uint64_t number)
{
    waiting.firstTryTurn = std::max(waiting.firstTryTurn, number + 1);
    waiting.changed.notify_all();
}

// One message, as its thread tries it. unlocks: as it came, so that the
// next unlock gives it its last try.
void TryUntilSettled(uint64_t number, const PushTarget& target, const PushMessage& message, unsigned unlocks)
{
    const auto unlocked = [&] { return waiting.unlocks != unlocks; };
    const bool photo = !message.photo.empty();
    PhotoEnd end = PhotoEnd::None;
    std::unique_lock<std::mutex> hold(waiting.lock);
    waiting.changed.wait_for(hold, FIRST_TRY_TURN, [&] { return waiting.firstTryTurn >= number; });
    auto saidAt = std::chrono::steady_clock::now();
    for (unsigned tries = 0, unsaid = 0;; ++tries) {
        const bool lastTry = unlocked();
        hold.unlock();
        const PushOutcome outcome = PostPush(target, message);
        end = photo && !outcome.taken ? PhotoTryEnd(outcome) : PhotoEnd::None;
        hold.lock();
        if (tries == 0)
            PassTurn(number);
        const std::optional<int64_t> pauseMs = SettleTry(tries, outcome, lastTry, unlocked(), photo);
        hold.unlock();
        // A line for each of the first three tries and the last; the failed
        // ones between are summed in a line an hour.
        if (tries < 3 || !pauseMs || std::chrono::steady_clock::now() - saidAt >= std::chrono::hours(1)) {
            LogEvent(PushTryLogLine(message.title, tries, outcome, pauseMs, std::exchange(unsaid, 0), end));
            saidAt = std::chrono::steady_clock::now();
        } else {
            ++unsaid;
        }
        hold.lock();
        if (!pauseMs)
            break;
        waiting.changed.wait_for(hold, std::chrono::milliseconds(*pauseMs), unlocked);
    }
    // A server that takes no attachments gets the photo's text instead.
    if (end == PhotoEnd::Refused && TakesPhotos(target.kind)) {
        const WaitingPush instead{waiting.pushes[number].firstTried, PhotoKeptPush(message.photo)};
        hold.unlock();
        Queue(target, {instead}, false);
        hold.lock();
    }
    waiting.pushes.erase(number);
    SavePushWaiting(waiting.pushes);
    waiting.changed.notify_all();
    void (*action)() = waiting.pushes.empty() ? std::exchange(waiting.whenNone, nullptr) : nullptr;
    hold.unlock();
    if (action)
        action();
}

// Notes the messages as waiting and starts a thread for each, which waits
// for the lock held here; returns the last one's number. resent: from an
// earlier run, sent with a last line "First tried: <time>".
uint64_t Queue(const PushTarget& target, const std::vector<WaitingPush>& pushes, bool resent)
{
    std::lock_guard<std::mutex> hold(waiting.lock);
    for (const WaitingPush& push : pushes) {
        const uint64_t number = ++waiting.lastNumber;
        PushMessage message = push.message;
        message.body += resent ? "\nFirst tried: " + push.firstTried : "";
        waiting.pushes.emplace(number, push);
        // One that will not start still waits in PushWaiting, for the next start.
        if (!StartDetachedThread([=, unlocks = waiting.unlocks] { TryUntilSettled(number, target, message, unlocks); }))
            PassTurn(number);
    }
    SavePushWaiting(waiting.pushes);
    return waiting.lastNumber;
}

LocalTime LocalNow()
{
    SYSTEMTIME local = {};
    GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone = {};
    const DWORD kind = GetTimeZoneInformation(&zone);
    LogIfFalse(kind != TIME_ZONE_ID_INVALID, "GetTimeZoneInformation");
    const LONG bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT   ? zone.DaylightBias
                                   : kind == TIME_ZONE_ID_STANDARD ? zone.StandardBias
                                                                   : 0);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, int(-bias)};
}

std::string ComputerName()
{
    wchar_t name[256] = {};
    DWORD length = ARRAYSIZE(name);
    if (!LogIfFalse(GetComputerNameExW(ComputerNameDnsHostname, name, &length), "GetComputerNameExW"))
        return "this computer";
    char text[1024];  // room for any of those names in UTF-8
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, int(length), text, sizeof text, nullptr, nullptr);
    return bytes > 0 ? std::string(text, size_t(bytes)) : "this computer";
}

// Queues the message make builds from the details, the computer's name and
// the time; returns its number, 0 when none was queued.
template <class Make, class... Details>
uint64_t QueueNew(const PushTarget& target, const char* what, Make make, const Details&... details) noexcept
{
    try {
        if (target.url.empty() || PushAddressRefusal(target.url))
            return 0;
        const LocalTime now = LocalNow();
        return Queue(target, {WaitingPush{EventTimeText(now), make(details..., ComputerName(), now)}}, false);
    } catch (const std::bad_alloc&) {
        // The caller goes on: a siren or an unlock never fails for a message.
        LogEvent(std::string("Push: the ") + what + " message was lost (out of memory)");
        return 0;
    }
}

// %LOCALAPPDATA%\Kestrova\photos\, made when missing; empty when it cannot be.
std::wstring PhotosFolder()
{
    ScopedCoTaskMem<wchar_t> base;
    if (!LogIfFailed(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, base.Receive()),
                     "SHGetKnownFolderPath"))
        return {};
    const std::wstring folder = std::wstring(base.Get()) + L"\\Kestrova\\photos";
    const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return LogIfError(made == ERROR_ALREADY_EXISTS ? 0 : made, "SHCreateDirectoryExW") ? folder + L"\\" : L"";
}

// A photo's file, or null with the system's error left; never outside the folder.
HANDLE OpenPhoto(const std::string& name, DWORD access, DWORD disposition)
{
    const std::wstring folder = PhotosFolder();
    const HANDLE file = folder.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileW((folder + Widened(name)).c_str(), access, FILE_SHARE_READ, nullptr,
                                                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

// The newest photos are kept, and every one still waiting to be sent.
void KeepNewestPhotos()
{
    const std::wstring folder = PhotosFolder();
    std::vector<std::string> names, waitingNames;
    WIN32_FIND_DATAW found = {};
    // The folder holds the photo just saved: finding none is a failure too.
    const HANDLE search = folder.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW((folder + L"*.jpg").c_str(), &found);
    if (!LogIfFalse(search != INVALID_HANDLE_VALUE, "FindFirstFileW"))
        return;
    const UniqueHandle<HANDLE, FindClose> owned(search);
    do {
        names.emplace_back(found.cFileName, found.cFileName + wcslen(found.cFileName));
    } while (FindNextFileW(search, &found));
    {
        std::lock_guard<std::mutex> hold(waiting.lock);
        for (const auto& entry : waiting.pushes)
            waitingNames.push_back(entry.second.message.photo);
    }
    for (const std::string& name : PhotosToDelete(names, waitingNames))
        LogIfFalse(DeleteFileW((folder + Widened(name)).c_str()), "DeleteFileW");
}

}  // namespace

bool ReadPhoto(const std::string& name, std::string& jpeg)
{
    const ScopedHandle file(OpenPhoto(name, GENERIC_READ, OPEN_EXISTING));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > (64 << 20))
        return false;
    jpeg.resize(size_t(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.Get(), &jpeg[0], DWORD(jpeg.size()), &read, nullptr) && read == jpeg.size();
}

void QueuePhotoPush(const PushTarget& target, const std::string& causeText, const std::string& jpeg) noexcept
{
    try {
        const std::string name = PhotoFileName(LocalNow());
        const ScopedHandle file(OpenPhoto(name, GENERIC_WRITE, CREATE_ALWAYS));
        DWORD written = 0;
        if (!LogIfFalse(bool(file), "CreateFileW") ||
            !LogIfFalse(WriteFile(file.Get(), jpeg.data(), DWORD(jpeg.size()), &written, nullptr), "WriteFile"))
            return;
        LogEvent("Photo taken: " + name);
        KeepNewestPhotos();
        QueueNew(target, "photo", PhotoPush, causeText, name);
    } catch (const std::bad_alloc&) {
        LogEvent("Push: the photo was lost (out of memory)");
    }
}

void QueueNoPhotoPush(const PushTarget& target, const std::string& reason) noexcept
{
    QueueNew(target, "no-photo", [&](const std::string&, const LocalTime&) { return NoPhotoPush(reason); });
}

void ResendWaitingPushes(const PushTarget& target) noexcept
{
    try {
        const OpenedKey opened = OpenSettingsKey();
        // One byte more than any value written: a longer one does not read,
        // and is deleted as any other this program cannot read.
        const std::optional<RegistryValue> value =
            opened.key ? opened.key->Read(PUSH_WAITING_VALUE, PUSH_WAITING_MAX_BYTES + 1, TextWidth::Wide)
                       : std::nullopt;
        if (!value)
            return;
        const auto left = value->type == REG_BINARY ? DecodePushWaiting(value->bytes) : std::nullopt;
        if (left && !left->empty() && !target.url.empty() && !PushAddressRefusal(target.url)) {
            Queue(target, *left, true);
        } else if (!left || !left->empty()) {
            LogEvent(left ? "Push: " + std::to_string(left->size()) +
                                " message(s) left waiting dropped: no push address"
                          : "Push: the value PushWaiting could not be read; deleted");
            SavePushWaiting({});
        }
    } catch (const std::bad_alloc&) {
        LogEvent("Push: the messages left waiting were not sent again (out of memory)");
    }
}

void WhenNoPushWaits(void (*action)()) noexcept
{
    std::unique_lock<std::mutex> hold(waiting.lock);
    if (!waiting.pushes.empty()) {
        waiting.whenNone = action;
        return;
    }
    hold.unlock();
    action();
}

void QueueAlarmPush(const PushTarget& target, const std::string& causeText) noexcept
{
    QueueNew(target, "alarm", AlarmPush, causeText);
}

void QueueUnlockPush(const PushTarget& target, std::optional<int64_t> sirenSeconds, uint32_t wrongPasswords) noexcept
{
    std::unique_lock<std::mutex> hold(waiting.lock);
    ++waiting.unlocks;
    // Wakes every message waiting for its next try: one last, at once.
    waiting.changed.notify_all();
    hold.unlock();
    QueueNew(target, "disarmed", UnlockPush, sirenSeconds, wrongPasswords);
}

void QueuePlainPush(const PushTarget& target, PlainPush make, const char* what) noexcept
{
    QueueNew(target, what, make);
}

void SendStoppedWhileArmedPush(const PushTarget& target, unsigned timeoutMs) noexcept
{
    const uint64_t number = QueueNew(target, "stopped-while-armed", StoppedWhileArmedPush);
    std::unique_lock<std::mutex> hold(waiting.lock);
    waiting.changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                             [&] { return waiting.pushes.count(number) == 0; });
}

bool StartPushTest(HWND window, UINT message, const PushTarget& target) noexcept
{
    try {
        return StartDetachedThread([window, message, target] {
            auto outcome = std::make_unique<PushOutcome>(PostPush(target, TestPush(ComputerName(), LocalNow())));
            LogEvent("Push test message: " + PushOutcomeText(*outcome));
            if (PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(outcome.get())))
                outcome.release();  // the window owns it now
        });
    } catch (const std::bad_alloc&) {
        return false;  // out of memory: no test, as when the thread will not start
    }
}
