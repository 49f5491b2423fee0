// The owner's phone hears of the alarm through a push address of their own
// choosing, in the publish format of the ntfy service: a POST of the message
// as plain text to the topic's address, with the headers Title, Priority and
// Tags, and "Authorization: Bearer <token>" for a protected topic.
// The decisions, apart from the network: which addresses are taken, what
// each message says, and when a message that was not taken is tried again.
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "guard/alarm_cause.h"

// --- The address ("NotifyUrl") ------------------------------------------------

constexpr size_t PUSH_ADDRESS_MAX_CHARS = 300;

enum class PushAddressCheck {
    Valid,
    Empty,  // no address: no message is sent
    TooLong,
    NotHttps,  // neither https:// nor http:// to this computer
    BadCharacter,
    UserInfo,
    NoHost,
    BadPort,
    NoTopic,
};

// https://host[:port]/topic[?query], or the same with http:// when the host
// is this computer (localhost, 127.x.x.x, [::1]), for tests.
PushAddressCheck CheckPushAddress(const std::string& url);
// Why an address is refused, for the owner's box; null for Valid and Empty.
const char* PushAddressRefusal(PushAddressCheck check);
bool IsLoopbackHost(const std::string& host);

// The token is sent only when it is plain printable ASCII without spaces:
// anything else could break the request's headers.
bool IsUsablePushToken(const std::string& token);

// --- The messages ---------------------------------------------------------------

struct PushMessage {
    std::string title;     // plain ASCII: the Title header
    std::string priority;  // "high" or "default"
    std::string tags;      // emoji short codes, comma-separated
    std::string body;      // UTF-8 text
};

// The computer's local time of an event, with its offset from UTC.
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int utcOffsetMinutes = 0;
};

// "2026-12-08 23:41:07 (UTC+01:00)"
std::string EventTimeText(const LocalTime& time);
// "0 s", "45 s", "4 min 3 s", "2 h 0 min 5 s"
std::string DurationText(int64_t seconds);

PushMessage AlarmPush(AlarmCause cause, const std::string& computer, const LocalTime& time);
// At every unlock: an unlock the owner did not make is news too. How long
// the siren sounded (none when it never started), how many wrong passwords.
PushMessage UnlockPush(std::optional<int64_t> sirenSeconds, uint32_t wrongPasswords,
                                      const std::string& computer, const LocalTime& time);
// At start-up, after what a killed armed process had changed was given back.
PushMessage GiveBackPush(const std::string& computer, const LocalTime& time);
PushMessage TestPush(const std::string& computer, const LocalTime& time);

// --- One try and its outcome ----------------------------------------------------

struct PushOutcome {
    bool answered = false;    // an HTTP answer came
    uint32_t httpStatus = 0;  // its status
    uint32_t error = 0;       // else the network error
    const char* call = "";    // and the call that failed with it
    bool Taken() const { return answered && httpStatus >= 200 && httpStatus <= 299; }
};

// The network errors an owner may meet, in words; a general phrase for the rest.
const char* NetworkErrorWords(uint32_t error);
// "taken (HTTP 200)", "refused (HTTP 403)", "not sent: <words> (<call> error N)"
std::string PushOutcomeText(const PushOutcome& outcome);
// The test button's box.
std::string TestOutcomeBoxText(const PushOutcome& outcome);

// --- Trying again ---------------------------------------------------------------

// The pause after the n-th try that was not taken (n from 1): 5 s, 15 s,
// 45 s, then every 2 minutes.
int64_t RetryPauseMs(unsigned failedTries);

struct PushTarget {
    std::string url;
    std::string token;  // empty: no Authorization header
};

struct PushJob {
    uint64_t id = 0;
    PushTarget target;
    PushMessage message;
    unsigned tries = 0;  // tries made so far
    int64_t dueMs = 0;
    bool lastTry = false;  // dropped after this try, whatever comes of it
    uint32_t unlocksBefore = 0;
};

enum class PushAfter { Taken, Dropped, Again };
struct PushSettled {
    PushAfter after = PushAfter::Taken;
    int64_t pauseMs = 0;  // for Again: until the next try (0: at once, its last)
};

// The messages waiting to be sent. Each is tried until it is taken; an unlock
// gives every message still waiting (or in flight) one last try and then
// drops it, so an alarm is retried for as long as the guard is up. Times are
// milliseconds on a steady clock. Not thread-safe: its owner locks.
class PushQueue {
public:
    void Add(const PushTarget& target, const PushMessage& message, int64_t nowMs);
    // The job due first once it is due, taken out of the queue to be tried.
    std::optional<PushJob> TakeDue(int64_t nowMs);
    // What the try of a taken-out job came to; a job tried again is back in
    // the queue, due after its pause.
    PushSettled Settle(PushJob job, bool taken, int64_t nowMs);
    void LastTryForAll(int64_t nowMs);
    std::optional<int64_t> NextDueMs() const;
    size_t Waiting() const { return jobs_.size(); }

private:
    std::vector<PushJob> jobs_;
    uint32_t unlocks_ = 0;
    uint64_t lastId_ = 0;
};

// The log's line for one try: which message, which try, what came of it, and
// what happens next. Never the token.
// The job as it was tried (its tries before this one).
std::string PushTryLogLine(const PushJob& job, const PushOutcome& outcome, const PushSettled& settled);
