// The owner's phone hears of the alarm through a push address of their own
// choosing, at one of the push services (online/push_kinds.h: what each is
// sent, and how each says taken).
// The decisions, apart from the network: which addresses are taken, what
// each message says, what the owner is told of an answer, and when a
// message that was not taken is tried again. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"

// --- The address ("NotifyUrl") ------------------------------------------------

// Why an address is refused, for the owner's box; null when it is taken or
// empty (no address: no message is sent). Taken: https://host[:port]/topic
// [?query], or the same with http:// when the host is this computer
// (localhost, 127.x.x.x, [::1]), for tests.
const char* PushAddressRefusal(const std::string& url);
// ASCII letters in lower case, for names (schemes, hosts) that ignore case.
std::string Lowered(std::string text);

struct PushTarget {
    PushKind kind = PushKind::Ntfy;
    std::string url;
    std::string token;  // ntfy's or Bark's token or user:password, a bot's signing secret; may be empty
};

// The log's line at arming: "Push on (wecom, qyapi.weixin.qq.com)" or "Push
// off". Never the token, nor the address's path, which holds the bots' keys.
std::string PushStateText(const PushTarget& target);

// --- The messages ---------------------------------------------------------------

struct PushMessage {
    std::string title;     // plain ASCII
    std::string priority;  // "urgent", "high" or "default"
    std::string tags;      // an emoji short code
    std::string body;      // UTF-8 text
    std::string photo{};   // a photo's file name in the photos folder; empty for a text
};

// The computer's local time of an event, with its offset from UTC.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int utcOffsetMinutes = 0;
};

// "2026-12-08 23:41:07 (UTC+01:00)"
std::string EventTimeText(const LocalTime& time);
// "0 s", "45 s", "4 min 3 s", "2 h 0 min 5 s"
std::string DurationText(int64_t seconds);

// causeText: why the alarm started, one phrase without a full stop.
PushMessage AlarmPush(const std::string& causeText, const std::string& computer, const LocalTime& time);
// At every unlock: an unlock the owner did not make is news too. How long
// the siren sounded (none when it never started), how many wrong passwords.
PushMessage UnlockPush(std::optional<int64_t> sirenSeconds, uint32_t wrongPasswords,
                                      const std::string& computer, const LocalTime& time);
// At start-up, after what a killed armed process had changed was given back.
PushMessage GiveBackPush(const std::string& computer, const LocalTime& time);
// When the session ends while armed: someone signed out or shut down anyway.
PushMessage StoppedWhileArmedPush(const std::string& computer, const LocalTime& time);
// While armed on battery at 10 % or less: hibernation will end the guard.
PushMessage BatteryLowPush(const std::string& computer, const LocalTime& time);
PushMessage TestPush(const std::string& computer, const LocalTime& time);

// --- The alarm's photos ---------------------------------------------------------

// A photo of the alarm, kept as fileName: the JPEG itself to ntfy and WeCom
// (online/push_kinds.h), the text PhotoKeptPush to the other kinds.
PushMessage PhotoPush(const std::string& causeText, const std::string& fileName, const std::string& computer,
                      const LocalTime& time);
// "Photo kept on the laptop: <file name>"
PushMessage PhotoKeptPush(const std::string& fileName);
// "No photo: <reason>", once per alarm, as soon as the reason is known.
PushMessage NoPhotoPush(const std::string& reason);

// "20261208-234107.jpg": the names sort as the times do.
std::string PhotoFileName(const LocalTime& time);
constexpr size_t PHOTOS_KEPT = 60;
// Of the files in the photos folder, the photos to delete: all but the
// newest PHOTOS_KEPT named as PhotoFileName names them, never counting nor
// deleting one that still waits to be sent. Other files are not ours.
std::vector<std::string> PhotosToDelete(std::vector<std::string> names, const std::vector<std::string>& waiting);

// --- One try and its outcome ----------------------------------------------------

struct PushOutcome {
    uint32_t httpStatus = 0;  // the answer's status; 0: no answer came
    uint32_t error = 0;       // then the network error
    const char* call = "";    // and the call that failed with it
    bool taken = false;       // as the kind judges the answer (JudgePushAnswer)
    std::optional<int64_t> code;    // the service's own code in its answer
    std::string words;              // and its words, printable ASCII
    std::string location;           // where a redirect points
    int64_t retryAfterSeconds = 0;  // what Retry-After asks
};

// "taken (HTTP 200)", "refused (HTTP 403)", "refused (HTTP 200, code 93000:
// invalid webhook url)", "not sent: <words> (<call> error N)"
std::string PushOutcomeText(const PushOutcome& outcome);
// The test button's box: the outcome, and what to do about the common ones.
std::string TestOutcomeBoxText(const PushOutcome& outcome);

// --- Trying again ---------------------------------------------------------------

// What comes of one try: the pause in ms before the next (0: one last try at
// once), or none when the message is settled, taken or dropped. A message is
// tried until it is taken, after a pause of 5 s, 15 s, 45 s, then every 2
// minutes, or longer when the server's Retry-After asks (up to an hour); an
// unlock gives it one last try and then drops it, so an alarm is retried for
// as long as the guard is up. lastTry: the unlock came before this try;
// unlockedSince: it came during it (that try may have started before it, so
// one more, at once).
// A photo's tries also end without its being taken (PhotoTryEnd).
std::optional<int64_t> SettleTry(unsigned triesBefore, const PushOutcome& outcome, bool lastTry,
                                 bool unlockedSince, bool photo = false);

// What ends a photo's tries untaken: its file is gone (dropped), or a 4xx
// other than 408 and 429, a server that takes no attachments (final: the
// text PhotoKeptPush goes instead).
enum class PhotoEnd { None, FileGone, Refused };
PhotoEnd PhotoTryEnd(const PushOutcome& outcome);

// The log's line for one try: which message, which try, what came of it, and
// what happens next (SettleTry's answer). Never the token. After the third
// try, failed ones go unlogged up to an hour: unsaid counts them.
std::string PushTryLogLine(const std::string& title, unsigned triesBefore, const PushOutcome& outcome,
                           std::optional<int64_t> pauseMs, unsigned unsaid = 0, PhotoEnd end = PhotoEnd::None);
