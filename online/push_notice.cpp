#include "online/push_notice.h"

#include <algorithm>
#include <cctype>

#include "settings/service_url.h"

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

bool IsHostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

bool IsDecimalByte(const std::string& part)
{
    if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return false;
    return std::stoi(part) <= 255;
}

std::string TwoDigits(int value)
{
    const std::string digits = std::to_string(value);
    return digits.size() < 2 ? "0" + digits : digits;
}

// The pause after the n-th try that was not taken (n from 1).
int64_t RetryPauseMs(unsigned failedTries)
{
    switch (failedTries) {
    case 0:
    case 1:
        return 5000;
    case 2:
        return 15000;
    case 3:
        return 45000;
    default:
        return 120000;
    }
}

}  // namespace

bool IsLoopbackHost(const std::string& host)
{
    std::string lower = host;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    if (lower == "localhost" || lower == "[::1]")
        return true;
    // 127.0.0.0/8, written as four decimal bytes.
    std::vector<std::string> parts(1);
    for (char c : lower) {
        if (c == '.')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts.size() == 4 && parts[0] == "127" && std::all_of(parts.begin(), parts.end(), IsDecimalByte);
}

PushAddressCheck CheckPushAddress(const std::string& url)
{
    if (url.empty())
        return PushAddressCheck::Empty;
    if (url.size() > PUSH_ADDRESS_MAX_CHARS)
        return PushAddressCheck::TooLong;
    // Printable ASCII only: no spaces, no control characters, nothing that
    // would need encoding, and no fragment, which is never sent.
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#')
            return PushAddressCheck::BadCharacter;
    }
    size_t start;
    bool secure;
    if (StartsWithNoCase(url, "https://")) {
        start = 8;
        secure = true;
    } else if (StartsWithNoCase(url, "http://")) {
        start = 7;
        secure = false;
    } else {
        return PushAddressCheck::NotHttps;
    }

    const size_t authorityEnd = std::min(url.find('/', start), url.find('?', start));
    const std::string authority = url.substr(start, authorityEnd - start);
    if (authority.find('@') != std::string::npos)
        return PushAddressCheck::UserInfo;
    std::string host;
    size_t portStart;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos)
            return PushAddressCheck::NoHost;
        host = authority.substr(0, close + 1);
        portStart = close + 1;
    } else {
        portStart = std::min(authority.find(':'), authority.size());
        host = authority.substr(0, portStart);
        if (!std::all_of(host.begin(), host.end(), IsHostChar) || host.front() == '.' || host.back() == '.' ||
            host.front() == '-')
            host.clear();
    }
    if (host.empty() || host == "[]")
        return PushAddressCheck::NoHost;
    if (portStart < authority.size()) {
        if (authority[portStart] != ':' || !IsValidPort(authority.substr(portStart + 1)))
            return PushAddressCheck::BadPort;
    }
    if (!secure && !IsLoopbackHost(host))
        return PushAddressCheck::NotHttps;
    // The topic: a path of at least one character after the slash.
    if (authorityEnd >= url.size() || url[authorityEnd] != '/' || authorityEnd + 1 >= url.size() ||
        url[authorityEnd + 1] == '?')
        return PushAddressCheck::NoTopic;
    return PushAddressCheck::Valid;
}

const char* PushAddressRefusal(PushAddressCheck check)
{
    switch (check) {
    case PushAddressCheck::TooLong:
        return "The push address is longer than 300 characters.";
    case PushAddressCheck::NotHttps:
        return "The push address must begin with https:// so that nobody on the way can read or change the "
               "messages.\n(http:// is allowed only to this computer itself, for tests.)";
    case PushAddressCheck::BadCharacter:
        return "The push address may not contain spaces, #, letters outside plain ASCII or control characters.";
    case PushAddressCheck::UserInfo:
        return "The push address may not contain a user name or password (@). A protected topic takes an "
               "access token in the registry value NotifyToken.";
    case PushAddressCheck::NoHost:
        return "The push address has no server name after https://.";
    case PushAddressCheck::BadPort:
        return "The push address has a port that is not a number from 1 to 65535.";
    case PushAddressCheck::NoTopic:
        return "The push address needs the topic after the server, as in https://ntfy.sh/your-own-topic.";
    case PushAddressCheck::Valid:
    case PushAddressCheck::Empty:
        break;
    }
    return nullptr;
}

bool IsUsablePushToken(const std::string& token)
{
    return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F;
    });
}

std::string EventTimeText(const LocalTime& time)
{
    const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
    return std::to_string(time.year) + "-" + TwoDigits(time.month) + "-" + TwoDigits(time.day) + " " +
           TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second) + " (UTC" +
           (time.utcOffsetMinutes < 0 ? "-" : "+") + TwoDigits(offset / 60) + ":" + TwoDigits(offset % 60) + ")";
}

std::string DurationText(int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    const int64_t hours = seconds / 3600;
    const int64_t minutes = seconds / 60 % 60;
    std::string text;
    if (hours > 0)
        text = std::to_string(hours) + " h ";
    if (hours > 0 || minutes > 0)
        text += std::to_string(minutes) + " min ";
    return text + std::to_string(seconds % 60) + " s";
}

PushMessage AlarmPush(const std::string& causeText, const std::string& computer, const LocalTime& time)
{
    return {"Kestrova alarm", "high", "rotating_light",
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
    return {"Kestrova was stopped while armed", "high", "warning",
            "Kestrova started on " + computer + " at " + EventTimeText(time) +
                " and found that it had been armed when it last ended, without an unlock (ended by force, "
                "crashed, or the power was cut). It gave back what arming had changed."};
}

PushMessage StoppedWhileArmedPush(const std::string& computer, const LocalTime& time)
{
    return {"Kestrova was stopped while armed", "high", "warning",
            "Windows ended the session on " + computer + " at " + EventTimeText(time) +
                " while Kestrova was armed: someone chose to sign out or shut down anyway. Nothing guards it "
                "now."};
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

const char* NetworkErrorWords(uint32_t error)
{
    switch (error) {
    case 12002:
        return "the server did not answer in time";
    case 12005:
    case 12006:
        return "the address is not valid";
    case 12007:
        return "the server's name could not be found";
    case 12029:
        return "no connection to the server could be made";
    case 12030:
        return "the connection to the server was broken";
    case 12152:
        return "the server's answer could not be understood";
    case 12156:
        return "the server sent the message elsewhere, which is not followed";
    case 12037:
        return "the server's certificate has expired or is not yet valid";
    case 12038:
        return "the server's certificate is for another name";
    case 12044:
        return "the server asks for a client certificate";
    case 12045:
        return "the server's certificate is not from a trusted authority";
    case 12057:
        return "the server's certificate could not be checked for revocation";
    case 12169:
        return "the server's certificate is not valid";
    case 12170:
        return "the server's certificate has been revoked";
    case 12157:
    case 12175:
        return "the secure connection to the server failed";
    default:
        return "a network error";
    }
}

std::string PushOutcomeText(const PushOutcome& outcome)
{
    if (outcome.answered)
        return std::string(outcome.Taken() ? "taken" : "refused") + " (HTTP " +
               std::to_string(outcome.httpStatus) + ")";
    return std::string("not sent: ") + NetworkErrorWords(outcome.error) + " (" + outcome.call +
           (*outcome.call ? " " : "") + "error " + std::to_string(outcome.error) + ")";
}

std::string TestOutcomeBoxText(const PushOutcome& outcome)
{
    const std::string status = "HTTP " + std::to_string(outcome.httpStatus);
    if (outcome.Taken())
        return "The server took the test message (" + status + ").";
    if (outcome.answered)
        return "The server refused the test message (" + status + ").";
    return std::string("The test message was not sent: ") + NetworkErrorWords(outcome.error) + " (error " +
           std::to_string(outcome.error) + ").";
}

PushSettled SettleTry(unsigned triesBefore, bool taken, bool lastTry, bool unlockedSince)
{
    if (taken)
        return {PushAfter::Taken, 0};
    if (lastTry)
        return {PushAfter::Dropped, 0};
    if (unlockedSince)
        return {PushAfter::Again, 0};
    return {PushAfter::Again, RetryPauseMs(triesBefore + 1)};
}

std::string PushTryLogLine(const std::string& title, unsigned triesBefore, const PushOutcome& outcome,
                           const PushSettled& settled)
{
    std::string line =
        "Push message \"" + title + "\", try " + std::to_string(triesBefore + 1) + ": " + PushOutcomeText(outcome);
    switch (settled.after) {
    case PushAfter::Taken:
        break;
    case PushAfter::Dropped:
        line += "; dropped after its last try at unlock";
        break;
    case PushAfter::Again:
        line += settled.pauseMs > 0 ? "; next try in " + DurationText(settled.pauseMs / 1000)
                                    : "; one last try now (unlocked)";
        break;
    }
    return line;
}
