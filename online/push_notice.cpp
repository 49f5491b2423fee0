#include "online/push_notice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <iterator>
#include <utility>

#include "settings/service_url.h"

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

namespace {

// The network errors an owner may meet, in words; a general phrase for the rest.
const char* NetworkErrorWords(uint32_t error)
{
    static const std::pair<uint32_t, const char*> known[] = {
        {12002, "the server did not answer in time"}, {12005, "the address is not valid"},
        {12006, "the address is not valid"}, {12007, "the server's name could not be found"},
        {12029, "no connection to the server could be made"}, {12030, "the connection to the server was broken"},
        {12152, "the server's answer could not be understood"},
        {12156, "the server sent the message elsewhere, which is not followed"},
        {12037, "the server's certificate has expired or is not yet valid"},
        {12038, "the server's certificate is for another name"}, {12044, "the server asks for a client certificate"},
        {12045, "the server's certificate is not from a trusted authority"},
        {12057, "the server's certificate could not be checked for revocation"},
        {12169, "the server's certificate is not valid"}, {12170, "the server's certificate has been revoked"},
        {12157, "the secure connection to the server failed"}, {12175, "the secure connection to the server failed"},
        {2, "the photo's file is gone"}, {3, "the photo's file is gone"},  // a waiting photo's, deleted meanwhile
    };
    const auto found = std::find_if(std::begin(known), std::end(known), [&](auto& row) { return row.first == error; });
    return found == std::end(known) ? "a network error" : found->second;
}

// 127.0.0.0/8 as four groups of one to three digits, each at most 255.
bool IsLoopbackAddress(const std::string& host)
{
    unsigned bytes[4] = {};
    size_t pos = 0;
    for (unsigned& byte : bytes) {
        const size_t start = pos;
        for (; pos < host.size() && pos - start < 3 && host[pos] >= '0' && host[pos] <= '9'; ++pos)
            byte = byte * 10 + unsigned(host[pos] - '0');
        if (pos == start || byte > 255 || (&byte != &bytes[3] && (pos >= host.size() || host[pos++] != '.')))
            return false;
    }
    return pos == host.size() && bytes[0] == 127;
}

}  // namespace

const char* PushAddressRefusal(const std::string& url)
{
    const char* const notHttps = "The push address must begin with https:// so that nobody on the way can read or "
                                 "change the messages.\n(http:// is allowed only to this computer itself, for tests.)";
    if (url.empty())
        return nullptr;
    if (url.size() > PUSH_ADDRESS_MAX_CHARS)
        return "The push address is longer than 300 characters.";
    // Printable ASCII only: no spaces, no control characters, nothing that
    // would need encoding, and no fragment, which is never sent.
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return uint8_t(c) <= 0x20 || uint8_t(c) >= 0x7F || c == '#'; }))
        return "The push address may not contain spaces, #, letters outside plain ASCII or control characters.";
    const std::string scheme = Lowered(url.substr(0, 8));
    const bool secure = scheme == "https://";
    if (!secure && scheme.compare(0, 7, "http://") != 0)
        return notHttps;
    const size_t start = secure ? 8 : 7;

    const size_t authorityEnd = url.find_first_of("/?", start);
    const std::string authority = url.substr(start, authorityEnd - start);
    if (authority.find('@') != std::string::npos)
        return "The push address may not contain a user name or password (@). Type the token or user:password "
               "in the box for the token instead.";
    // The host, a name or an IPv6 address in brackets, then ":port" or nothing.
    // Without its closing bracket (npos + 1) there is no host.
    const bool bracketed = !authority.empty() && authority[0] == '[';
    const size_t hostEnd = bracketed ? authority.find(']') + 1 : std::min(authority.find(':'), authority.size());
    const std::string host = authority.substr(0, hostEnd);
    if (bracketed ? host.size() < 3
                  : (host.empty() || host.find_first_not_of(HOST_CHARS) != std::string::npos ||
                     host.front() == '.' || host.back() == '.' || host.front() == '-'))
        return "The push address has no server name after https://.";
    if (hostEnd < authority.size() && (authority[hostEnd] != ':' || !IsValidPort(authority.substr(hostEnd + 1))))
        return "The push address has a port that is not a number from 1 to 65535.";
    // http:// only to this computer: localhost, [::1], or 127.0.0.0/8.
    if (!secure && Lowered(host) != "localhost" && host != "[::1]" && !IsLoopbackAddress(host))
        return notHttps;
    // The topic: a path of at least one character after the slash.
    if (authorityEnd >= url.size() - 1 || url[authorityEnd] != '/' || url[authorityEnd + 1] == '?')
        return "The push address needs the topic after the server, as in https://ntfy.sh/your-own-topic.";
    return nullptr;
}

std::string EventTimeText(const LocalTime& time)
{
    const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d (UTC%c%02d:%02d)", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60,
                  offset % 60);
    return text;
}

std::string DurationText(int64_t seconds)
{
    seconds = std::max<int64_t>(seconds, 0);
    const std::string hours = seconds >= 3600 ? std::to_string(seconds / 3600) + " h " : "";
    const std::string minutes = seconds >= 60 ? std::to_string(seconds / 60 % 60) + " min " : "";
    return hours + minutes + std::to_string(seconds % 60) + " s";
}

PushMessage AlarmPush(const std::string& causeText, const std::string& computer, const LocalTime& time)
{
    return {"Kestrova alarm", "urgent", "rotating_light",
            "The alarm went off on " + computer + " at " + EventTimeText(time) + ": " + causeText + "."};
}

PushMessage UnlockPush(std::optional<int64_t> sirenSeconds, uint32_t wrongPasswords, const std::string& computer,
                       const LocalTime& time)
{
    const std::string siren =
        sirenSeconds ? "The siren sounded for " + DurationText(*sirenSeconds) + "." : "The siren did not sound.";
    return PushMessage{"Kestrova disarmed", "default", "unlock",
                       computer + " was disarmed with the password at " + EventTimeText(time) + ". " + siren +
                           " Wrong passwords typed: " + std::to_string(wrongPasswords) + "."};
}

PushMessage GiveBackPush(const std::string& computer, const LocalTime& time)
{
    return {"Kestrova was stopped while armed", "urgent", "warning",
            "Kestrova started on " + computer + " at " + EventTimeText(time) +
                " and found that it had been armed when it last ended, without an unlock (ended by force, "
                "crashed, or the power was cut). It gave back what arming had changed."};
}

PushMessage StoppedWhileArmedPush(const std::string& computer, const LocalTime& time)
{
    return {"Kestrova was stopped while armed", "urgent", "warning",
            "Windows ended the session on " + computer + " at " + EventTimeText(time) +
                " while Kestrova was armed: someone chose to sign out or shut down anyway. Nothing guards it now."};
}

PushMessage BatteryLowPush(const std::string& computer, const LocalTime& time)
{
    return {"Kestrova: battery low", "high", "battery",
            "The armed laptop " + computer + " is on battery at 10 % or less (" + EventTimeText(time) +
                "). Windows will soon hibernate it, which ends the guard."};
}

PushMessage TestPush(const std::string& computer, const LocalTime& time)
{
    return {"Kestrova test", "default", "bell",
            "Test message from Kestrova on " + computer + " at " + EventTimeText(time) +
                ". Alarms will reach you here."};
}

PushMessage PhotoPush(const std::string& causeText, const std::string& fileName, const std::string& computer,
                      const LocalTime& time)
{
    return {"Kestrova alarm photo", "urgent", "camera",
            "The alarm went off on " + computer + " at " + EventTimeText(time) + ": " + causeText + ".", fileName};
}

PushMessage PhotoKeptPush(const std::string& fileName)
{
    return {"Kestrova alarm photo", "urgent", "camera", "Photo kept on the laptop: " + fileName};
}

PushMessage NoPhotoPush(const std::string& reason)
{
    return {"Kestrova alarm photo", "high", "camera", "No photo: " + reason};
}

std::string PhotoFileName(const LocalTime& time)
{
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d.jpg", time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
    return name;
}

std::vector<std::string> PhotosToDelete(std::vector<std::string> names, const std::vector<std::string>& waiting)
{
    const auto notOurs = [&](const std::string& name) {
        const bool formed = name.size() == 19 && name.find_first_not_of("0123456789") == 8 && name[8] == '-' &&
                            name.find_first_not_of("0123456789", 9) == 15 && name.compare(15, 4, ".jpg") == 0;
        return !formed || std::find(waiting.begin(), waiting.end(), name) != waiting.end();
    };
    names.erase(std::remove_if(names.begin(), names.end(), notOurs), names.end());
    std::sort(names.begin(), names.end(), std::greater<>());
    names.erase(names.begin(), names.begin() + std::min(names.size(), PHOTOS_KEPT));
    return names;
}

std::string PushOutcomeText(const PushOutcome& outcome)
{
    if (!outcome.httpStatus)
        return std::string("not sent: ") + NetworkErrorWords(outcome.error) + " (" + outcome.call +
               (*outcome.call ? " " : "") + "error " + std::to_string(outcome.error) + ")";
    std::string text = (outcome.taken ? "taken (HTTP " : "refused (HTTP ") + std::to_string(outcome.httpStatus);
    if (!outcome.taken && outcome.code)
        text += ", code " + std::to_string(*outcome.code) + (outcome.words.empty() ? "" : ": " + outcome.words);
    return text + ")";
}

std::string TestOutcomeBoxText(const PushOutcome& outcome)
{
    if (outcome.taken)
        return "The server took the test message (HTTP " + std::to_string(outcome.httpStatus) + ").";
    // The log's words after "refused", then what the owner can do about the
    // common refusals, after a blank line: by HTTP status, or by the
    // service's own code when it gave one.
    const std::string words = NetworkErrorWords(outcome.error);
    const std::string told =
        outcome.httpStatus ? "The server refused the test message" + PushOutcomeText(outcome).substr(7) + "."
                           : "The test message was not sent: " + words + " (error " + std::to_string(outcome.error) +
                                 ").";
    const char* const token = "The server wants a valid token: type the access token (tk_...) or user:password "
                              "in the box beside the address.";
    const char* const address = "The server does not know this address: copy it again from the app or from the "
                                "bot's settings.";
    const char* const busy = "The server takes no more messages for now: try again in a few minutes.";
    const char* const security =
        "The bot's security settings refused it: type its signing secret beside the address (DingTalk's begins "
        "with SEC), or give it the keyword Kestrova; and check this computer's clock, as the bots refuse one "
        "more than an hour off.";
    static const std::pair<int64_t, const char*> known[] = {
        {401, token}, {403, token}, {400, address}, {404, address}, {429, busy},  // HTTP; Bark's codes alike
        {93000, address}, {45009, busy}, {300001, address}, {310000, security}, {130101, busy},  // WeCom, DingTalk
        {19001, address}, {19021, security}, {19022, security}, {19024, security}, {11232, busy},  // Feishu
    };
    std::string advice =
        outcome.httpStatus ? ""
        : words.find("certificate") == std::string::npos && words.find("secure") == std::string::npos
            ? "Check that this computer is online: a network in a hotel or a cafe may first want its sign-in page."
            : "The server's certificate was refused: check this computer's date and time, and whether the network "
              "first wants its sign-in page.";
    if (outcome.httpStatus >= 300 && outcome.httpStatus <= 399)
        advice = "The server moved" + (outcome.location.empty() ? "." : " to " + outcome.location +
                                       "\nType that address if you trust it: the program follows no redirect.");
    else if (outcome.httpStatus >= 200 && outcome.httpStatus <= 299 && !outcome.code)
        advice = "The answer is not in the form of the service chosen beside the address: choose the one the "
                 "address belongs to.";
    for (const auto& [code, said] : known)
        advice = code == outcome.code.value_or(outcome.httpStatus) ? said : advice;
    return told + (advice.empty() ? "" : "\n\n") + advice;
}

PhotoEnd PhotoTryEnd(const PushOutcome& outcome)
{
    const uint32_t status = outcome.httpStatus;
    if (!status && (outcome.error == 2 || outcome.error == 3))  // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND
        return PhotoEnd::FileGone;
    return status >= 400 && status <= 499 && status != 408 && status != 429 ? PhotoEnd::Refused : PhotoEnd::None;
}

std::optional<int64_t> SettleTry(unsigned triesBefore, const PushOutcome& outcome, bool lastTry, bool unlockedSince,
                                 bool photo)
{
    if (outcome.taken || lastTry || (photo && PhotoTryEnd(outcome) != PhotoEnd::None))
        return std::nullopt;
    if (unlockedSince)
        return 0;
    const int64_t pauses[] = {5000, 15000, 45000, 120000};
    return std::max(pauses[std::min(triesBefore, 3u)], std::min<int64_t>(outcome.retryAfterSeconds, 3600) * 1000);
}

std::string PushTryLogLine(const std::string& title, unsigned triesBefore, const PushOutcome& outcome,
                           std::optional<int64_t> pauseMs, unsigned unsaid, PhotoEnd end)
{
    const std::string line =
        "Push message \"" + title + "\", try " + std::to_string(triesBefore + 1) + ": " + PushOutcomeText(outcome) +
        (unsaid ? "; " + std::to_string(unsaid) + " failed tries since the last line" : "");
    return line + (outcome.taken                 ? ""
                   : end == PhotoEnd::FileGone   ? "; dropped"
                   : end == PhotoEnd::Refused    ? "; refused for good: the text goes instead"
                   : !pauseMs                    ? "; dropped after its last try at unlock"
                   : *pauseMs > 0 ? "; next try in " + DurationText(*pauseMs / 1000)
                                  : "; one last try now (unlocked)");
}

std::string PushStateText(const PushTarget& target)
{
    if (target.url.empty() || PushAddressRefusal(target.url))
        return "Push off";
    const size_t host = target.url.find("://") + 3;
    return std::string("Push on (") + PUSH_KIND_NAMES[size_t(target.kind)] + ", " +
           target.url.substr(host, target.url.find_first_of("/?", host) - host) + ")";
}
