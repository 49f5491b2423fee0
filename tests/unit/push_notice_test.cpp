// The owner's push messages: which addresses are taken, what each message
// says, the schedule of tries up to the unlock's last one, and the record of
// the messages still waiting.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "online/push_kinds.h"
#include "online/push_notice.h"
#include "online/push_waiting.h"
#include "app/settings_dialog_rules.h"

namespace {

TEST(PushAddress, OnlyHttpsOrLoopbackHttpWithATopic)
{
    const struct {
        std::string url;
        const char* refusal;  // a phrase of it; "": taken, or empty
    } rows[] = {
        {"https://ntfy.sh/kim-laptop", ""},
        {"HTTPS://push.example.org:8443/alarm?x=1", ""},
        {"http://127.0.0.1:8080/t", ""},
        {"http://localhost/t", ""},
        {"http://[::1]:80/t", ""},
        {"", ""},
        {"https://ntfy.sh/" + std::string(300, 't'), "longer than 300"},
        {"http://ntfy.sh/kim-laptop", "must begin with https://"},
        {"http://127.0.0.1.example.org/t", "must begin with https://"},
        {"http://128.0.0.1/t", "must begin with https://"},
        {"http://127.0.0.-0/t", "must begin with https://"},
        {"http://127.001.2.3/t", ""},
        {"http://127.0.0.256/t", "must begin with https://"},
        {"http://127.0.0.1234/t", "must begin with https://"},
        {"http://127.0.0/t", "must begin with https://"},
        {"ftp://ntfy.sh/t", "must begin with https://"},
        {"https://ntfy.sh/a b", "spaces, #"},
        {"https://ntfy.sh/t#x", "spaces, #"},
        {"https://ntfy.sh/t\r\nX: y", "spaces, #"},
        {"https://kim:pw@ntfy.sh/t", "user name or password"},
        {"https:///t", "no server name"},
        {"https://.ntfy.sh/t", "no server name"},
        {"https://[]/t", "no server name"},
        {"https://[::1/t", "no server name"},
        {"https://[::1]x/t", "a port"},
        {"https://ntfy.sh:0/t", "a port"},
        {"https://ntfy.sh:65536/t", "a port"},
        {"https://ntfy.sh", "needs the topic"},
        {"https://ntfy.sh/", "needs the topic"},
        {"https://ntfy.sh/?t", "needs the topic"},
    };
    for (const auto& row : rows) {
        const std::string refusal = PushAddressRefusal(row.url) ? PushAddressRefusal(row.url) : "";
        EXPECT_EQ(refusal.empty(), !*row.refusal) << row.url;
        EXPECT_NE(refusal.find(row.refusal), std::string::npos) << row.url;
    }
    // A letter outside ASCII, typed in the dialog, is refused as one.
    EXPECT_STREQ(NotifyUrlRefusal(u"https://ntfy.sh/t\u00f6pic"), PushAddressRefusal("https://ntfy.sh/a b"));
    // As owners paste it, and the kind its host names.
    const struct {
        std::u16string typed;
        const char* stored;
        std::optional<PushKind> kind;
    } pasted[] = {
        {u"  ntfy.sh/kim \t", "https://ntfy.sh/kim", std::nullopt},
        {u"\u3000https://API.day.app/k3y/\r\n", "https://API.day.app/k3y/", PushKind::Bark},
        {u"oapi.dingtalk.com:443/send?u=http://x", "https://oapi.dingtalk.com:443/send?u=http://x", PushKind::DingTalk},
        {u"http://open.feishu.cn.example.org/t", "http://open.feishu.cn.example.org/t", std::nullopt},
        {u" \u00a0", "", std::nullopt},
    };
    for (const auto& row : pasted) {
        EXPECT_EQ(NotifyUrlText(row.typed), row.stored);
        EXPECT_EQ(KindOfAddress(row.stored), row.kind) << row.stored;
    }
}

TEST(PushMessages, SayWhatHappenedWhereAndWhen)
{
    const LocalTime time{2026, 12, 8, 23, 41, 7, 60};
    const std::string at = "2026-12-08 23:41:07 (UTC+01:00)";
    // Each names the computer, then the time; after it what else it tells.
    const struct {
        PushMessage message;
        const char *title, *priority, *tags, *afterTime;
    } rows[] = {
        {AlarmPush("the mouse was moved", "KIM-PC", time), "Kestrova alarm", "urgent", "rotating_light",
         ": the mouse was moved."},
        {UnlockPush(243, 2, "KIM-PC", time), "Kestrova disarmed", "default", "unlock",
         ". The siren sounded for 4 min 3 s. Wrong passwords typed: 2."},
        {UnlockPush(std::nullopt, 0, "KIM-PC", time), "Kestrova disarmed", "default", "unlock",
         ". The siren did not sound. Wrong passwords typed: 0."},
        {GiveBackPush("KIM-PC", time), "Kestrova was stopped while armed", "urgent", "warning", " and found that"},
        {StoppedWhileArmedPush("KIM-PC", time), "Kestrova was stopped while armed", "urgent", "warning", " while"},
        {BatteryLowPush("KIM-PC", time), "Kestrova: battery low", "high", "battery", "). Windows will soon"},
        {TestPush("KIM-PC", time), "Kestrova test", "default", "bell", ". Alarms will reach you here."},
    };
    for (const auto& [message, title, priority, tags, afterTime] : rows) {
        EXPECT_EQ(std::tie(message.title, message.priority, message.tags), std::make_tuple(title, priority, tags));
        EXPECT_NE(message.body.find(at + afterTime, message.body.find("KIM-PC")), std::string::npos) << message.body;
    }
    EXPECT_EQ(EventTimeText({2027, 1, 2, 3, 4, 5, -570}), "2027-01-02 03:04:05 (UTC-09:30)");
    const std::pair<int64_t, const char*> durations[] = {
        {0, "0 s"}, {59, "59 s"}, {60, "1 min 0 s"}, {3605, "1 h 0 min 5 s"}, {-3, "0 s"}};
    for (const auto& [seconds, text] : durations)
        EXPECT_EQ(DurationText(seconds), text);
}

PushOutcome Answered(uint32_t status, bool taken, std::optional<int64_t> code = std::nullopt, uint32_t error = 0)
{
    PushOutcome outcome;
    std::tie(outcome.httpStatus, outcome.taken, outcome.code, outcome.error) = std::tie(status, taken, code, error);
    outcome.words = code ? "invalid webhook url" : "";
    outcome.location = status == 301 ? "https://ntfy.example.org/kim" : "";
    return outcome;
}

TEST(PushOutcomes, InWordsForTheBoxAndTheLogWithWhatToDo)
{
    const struct {
        PushOutcome outcome;
        const char* box;     // up to the paragraph on what to do; "": not checked
        const char* advice;  // a phrase of that paragraph; "": none
    } rows[] = {
        {Answered(200, true), "The server took the test message (HTTP 200).", ""},
        {Answered(500, false), "The server refused the test message (HTTP 500).", ""},
        {Answered(403, false), "", "valid token"},
        {Answered(301, false), "", "moved to https://ntfy.example.org/kim\nType that address"},
        {Answered(200, false, 93000),
         "The server refused the test message (HTTP 200, code 93000: invalid webhook url).", "does not know this address"},
        {Answered(200, false, 19021), "", "more than an hour off"},
        {Answered(200, false), "", "not in the form of the service chosen"},
        {Answered(0, false, std::nullopt, 12029),
         "The test message was not sent: no connection to the server could be made (error 12029).", "online"},
        {Answered(0, false, std::nullopt, 12045), "", "certificate was refused"},
    };
    for (const auto& row : rows) {
        const std::string box = TestOutcomeBoxText(row.outcome);
        const size_t paragraph = box.find("\n\n");
        EXPECT_EQ(*row.box ? box.substr(0, paragraph) : "", row.box);
        EXPECT_EQ(paragraph != std::string::npos, *row.advice != 0) << box;
        EXPECT_NE(box.find(row.advice), std::string::npos) << box;
    }
    EXPECT_EQ(PushOutcomeText(Answered(200, false, 93000)), "refused (HTTP 200, code 93000: invalid webhook url)");
}

// One alarm message through a dead network: tried at once, then after 5 s,
// 15 s, 45 s and every 2 minutes; an unlock during a try brings one more at
// once, an unlock before it makes it the last, and then it is dropped. A
// Retry-After longer than the pause is kept, up to an hour.
TEST(PushTries, RetryWithAGrowingPauseUntilTheUnlocksLastTry)
{
    const struct {
        unsigned triesBefore;
        bool taken, lastTry, unlockedSince;
        std::optional<int64_t> pause;  // none: settled, taken or dropped
        const char* logTail;
        int64_t retryAfter = 0;  // seconds
        unsigned unsaid = 0;
    } rows[] = {
        {0, false, false, false, 5000, "try 1: not sent: a network error (error 1); next try in 5 s"},
        {1, false, false, false, 15000, "try 2: not sent: a network error (error 1); next try in 15 s"},
        {2, false, false, false, 45000, "try 3: not sent: a network error (error 1); next try in 45 s"},
        {3, false, false, false, 120000, "try 4: not sent: a network error (error 1); next try in 2 min 0 s"},
        {9, false, false, false, 120000, "try 10: not sent: a network error (error 1); next try in 2 min 0 s"},
        {4, false, false, true, 0, "try 5: not sent: a network error (error 1); one last try now (unlocked)"},
        {5, false, true, true, std::nullopt,
         "try 6: not sent: a network error (error 1); dropped after its last try at unlock"},
        {0, true, false, false, std::nullopt, "try 1: taken (HTTP 200)"},
        {0, false, false, false, 8000, "try 1: not sent: a network error (error 1); next try in 8 s", 8},
        {3, false, false, false, 3600000, "try 4: not sent: a network error (error 1); next try in 1 h 0 min 0 s",
         86400},
        {40, true, false, false, std::nullopt, "try 41: taken (HTTP 200); 29 failed tries since the last line", 0, 29},
    };
    for (const auto& row : rows) {
        PushOutcome outcome = row.taken ? Answered(200, true) : Answered(0, false, std::nullopt, 1);
        outcome.retryAfterSeconds = row.retryAfter;
        const std::optional<int64_t> pause = SettleTry(row.triesBefore, outcome, row.lastTry, row.unlockedSince);
        EXPECT_EQ(pause, row.pause) << row.logTail;
        EXPECT_EQ(PushTryLogLine("Kestrova alarm", row.triesBefore, outcome, pause, row.unsaid),
                  std::string("Push message \"Kestrova alarm\", ") + row.logTail);
    }

    // A photo waits as any message does (408 and 429 too), but a server that
    // takes no attachments refuses it for good, and one whose file is gone is dropped.
    const struct { PushOutcome outcome; std::optional<int64_t> pause; PhotoEnd end; const char* logTail; } photos[] = {
        {Answered(413, false), std::nullopt, PhotoEnd::Refused,
         "refused (HTTP 413); refused for good: the text goes instead"},
        {Answered(429, false), 5000, PhotoEnd::None, "refused (HTTP 429); next try in 5 s"},
        {Answered(0, false, std::nullopt, 2), std::nullopt, PhotoEnd::FileGone,
         "not sent: the photo's file is gone (error 2); dropped"},
    };
    for (const auto& row : photos) {
        const std::optional<int64_t> pause = SettleTry(0, row.outcome, false, false, true);
        EXPECT_EQ(std::make_tuple(pause, PhotoTryEnd(row.outcome)), std::make_tuple(row.pause, row.end)) << row.logTail;
        EXPECT_EQ(PushTryLogLine("Kestrova alarm photo", 0, row.outcome, pause, 0, row.end),
                  std::string("Push message \"Kestrova alarm photo\", try 1: ") + row.logTail);
    }
    EXPECT_EQ(SettleTry(0, Answered(404, false), false, false), 5000) << "a text is tried again";
}

// Named by the time taken; the newest 60 kept, never counting one that
// waits to be sent, nor a file that is not a photo of ours.
TEST(Photos, NamedByTheirTimeAndTheNewestKeptBesideThoseWaiting)
{
    std::vector<std::string> names = {"holiday.jpg", "20260101-000000.JPG", "2026010-1000000.jpg"};
    for (int i = 0; i < 63; ++i)
        names.push_back(PhotoFileName({2026, 1, 1, 0, i / 60, i % 60, 0}));
    EXPECT_EQ(names.back(), "20260101-000102.jpg");
    EXPECT_EQ(PhotosToDelete(names, {}), (std::vector<std::string>{names[5], names[4], names[3]}));
    EXPECT_EQ(PhotosToDelete(names, {names[4], names.back()}), std::vector<std::string>{names[3]});
}

// The messages left waiting, as the registry keeps them: what this version
// wrote reads back whole; anything else reads as nothing, so it is deleted.
TEST(PushWaiting, RoundTripAndEveryValueItDidNotWriteWholeRefused)
{
    const std::vector<WaitingPush> two = {
        {"2026-12-08 23:41:07 (UTC+01:00)", {"Kestrova alarm", "high", "rotating_light", "Went off: \xc3\xa9\n."}},
        {"2026-12-08 23:45:00 (UTC+01:00)", {"Kestrova alarm photo", "urgent", "camera", "", "20261208-234500.jpg"}},
    };
    const std::vector<uint8_t> bytes = EncodePushWaiting(two);
    const auto changed = [&](size_t at, uint8_t to) {
        std::vector<uint8_t> copy = bytes;
        copy[at] = to;
        return copy;
    };
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    std::vector<uint8_t> older = EncodePushWaiting({{"t", {"T", "p", "g", "b"}}});
    older.resize(older.size() - 2);  // without the photo's name
    older[3] = 1;
    std::vector<uint8_t> overLong = EncodePushWaiting({});
    overLong.resize(PUSH_WAITING_MAX_BYTES + 1);
    const struct {
        const char* name;
        std::vector<uint8_t> value;
        size_t count;  // read back; SIZE_MAX: refused
    } rows[] = {
        {"two messages", bytes, 2},
        {"none", EncodePushWaiting({}), 0},
        {"cut in the last body", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), SIZE_MAX},
        {"cut in the head", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), SIZE_MAX},
        {"a byte left over", longer, SIZE_MAX},
        {"another mark", changed(0, 'X'), SIZE_MAX},
        {"another version", changed(3, 3), SIZE_MAX},
        {"a count past the bound", changed(4, PUSH_WAITING_MAX_MESSAGES + 1), SIZE_MAX},
        {"a line break in a title", changed(5 + 2 + two[0].firstTried.size() + 2, '\n'), SIZE_MAX},
        {"longer than any written", overLong, SIZE_MAX},
        {"the version before photos", older, 1},
        {"a line break in a photo's name", changed(bytes.size() - 1, '\n'), SIZE_MAX},
    };
    for (const auto& row : rows) {
        const std::optional<std::vector<WaitingPush>> read = DecodePushWaiting(row.value);
        ASSERT_EQ(read ? read->size() : SIZE_MAX, row.count) << row.name;
    }
    EXPECT_EQ(EncodePushWaiting(*DecodePushWaiting(bytes)), bytes);
    EXPECT_EQ(DecodePushWaiting(bytes)->back().message.photo, "20261208-234500.jpg");

    // Too many, or too big: the oldest are kept, within the bounds.
    std::vector<WaitingPush> many(PUSH_WAITING_MAX_MESSAGES + 3, two[0]);
    EXPECT_EQ(DecodePushWaiting(EncodePushWaiting(many))->size(), PUSH_WAITING_MAX_MESSAGES);
    many[0].message.body.assign(PUSH_WAITING_MAX_BYTES / 2, 'b');
    many[1].message.body.assign(PUSH_WAITING_MAX_BYTES / 2, 'b');
    const std::vector<uint8_t> big = EncodePushWaiting(many);
    EXPECT_LE(big.size(), PUSH_WAITING_MAX_BYTES);
    EXPECT_EQ(DecodePushWaiting(big)->front().message.body.size(), PUSH_WAITING_MAX_BYTES / 2);
}

}  // namespace
