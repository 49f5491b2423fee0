#include "online/service_protocol.h"

#include <cctype>
#include <charconv>
#include <cstring>

#include "online/md5.h"
#include "settings/leading_integer.h"
#include "settings/settings.h"

const char* const INVALID_LOGIN_MESSAGE =
    "You supplied an invalid login.\nPlease retype your username and/or password.";
const char* const NO_CREDIT_MESSAGE = "You are out of SMS credits. No alarm was sent to your cell phone!";
const char* const CELL_NOT_VALIDATED_MESSAGE =
    "Your cell phone is not yet validated. No alarm was sent to your cell phone!";

namespace {

bool IsUnreserved(unsigned char c)
{
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// C-locale white space, as the reply may come from any server.
size_t SkipSpace(const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size() && text[pos] != '\0' && std::strchr(" \t\n\v\f\r", text[pos]))
        ++pos;
    return pos;
}

std::string SignedRequestQuery(const std::string& user, int32_t nonce, const std::string& hash)
{
    return "?u=" + PercentEncode(user) + "&n=" + PercentEncode(std::to_string(nonce)) +
           "&h=" + PercentEncode(hash);
}

// The nonce after one more step, as the atomic left it: past the largest
// int it wraps, where a plain + 1 would overflow.
int32_t NextNonce(ServiceNonce& nonce)
{
    return int32_t(uint32_t(nonce.fetch_add(1)) + 1u);
}

}  // namespace

ServiceAccount ServiceAccountOf(const Settings& settings)
{
    return ServiceAccount{settings.serviceUrl, settings.GetServerUser(), settings.GetServerPass()};
}

size_t ReplyReadSize(int kind)
{
    switch (kind) {
    case KIND_UPDATE_CHECK:
        return 4;
    case KIND_ALARM_NOTICE:
        return 7;
    case KIND_NONCE:
        return 4;
    case KIND_ACCOUNT_INFO:
        return 10;
    default:
        return 0;
    }
}

bool ShouldReadReply(int kind, uint32_t errorCode, uint32_t httpStatus)
{
    if (ReplyReadSize(kind) == 0 || errorCode != 0)
        return false;
    return kind == KIND_ALARM_NOTICE || (httpStatus >= 200 && httpStatus <= 299);
}

std::string PercentEncode(const std::string& value)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (char c : value) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(HEX[byte >> 4]);
            encoded.push_back(HEX[byte & 15]);
        }
    }
    return encoded;
}

std::string NonceUrl(const std::string& base, const std::string& user)
{
    return base + "/beta/lastnonce.php?e=" + PercentEncode(user);
}

std::string AccountInfoUrl(const std::string& base, const std::string& user, int32_t nonce,
                           const std::string& hash)
{
    return base + "/beta/accountinfo.php" + SignedRequestQuery(user, nonce, hash);
}

std::string AlarmNoticeUrl(const std::string& base, const std::string& user, int32_t nonce,
                           const std::string& hash)
{
    return base + "/beta/alarm.php" + SignedRequestQuery(user, nonce, hash);
}

std::string UpdateCheckUrl(const std::string& base)
{
    return base + "/beta/currentversion.php?v=1.99";
}

std::string HomePageUrl(const std::string& base)
{
    return base + "/";
}

std::string SignUpPageUrl(const std::string& base)
{
    return base + "/signup.php";
}

std::string MakeLoginHash(const std::string& password, int32_t nonce)
{
    Md5Context md5;
    md5.Update(password.data(), password.size());
    std::string digits = std::to_string(nonce);
    md5.Update(digits.data(), digits.size());
    return DigestToHex(md5.Final());
}

double LeadingNumber(const std::string& text)
{
    size_t pos = SkipSpace(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::string number;
    size_t digits = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos, ++digits)
        number.push_back(text[pos]);
    if (pos < text.size() && text[pos] == '.') {
        number.push_back('.');
        for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos, ++digits)
            number.push_back(text[pos]);
    }
    if (digits == 0)
        return 0.0;
    if (number.front() == '.')
        number.insert(number.begin(), '0');
    double value = 0.0;
    std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::fixed);
    return negative ? -value : value;
}

std::string ReplyText(const std::string& replyBytes)
{
    return replyBytes.substr(0, replyBytes.find('\0'));
}

AccountVerdict JudgeAccountReply(const std::string& replyBytes)
{
    AccountVerdict verdict;
    if (replyBytes.size() < 6 || replyBytes.compare(0, 5, "VALID") != 0)
        return verdict;
    verdict.valid = true;
    verdict.balance = LeadingInteger(ReplyText(replyBytes.substr(5)));
    return verdict;
}

const char* AlarmRefusal(const std::string& replyBytes)
{
    std::string text = ReplyText(replyBytes);
    if (text == "INVALID")
        return INVALID_LOGIN_MESSAGE;
    if (text == "NOSMS")
        return NO_CREDIT_MESSAGE;
    if (text == "CELL")
        return CELL_NOT_VALIDATED_MESSAGE;
    return nullptr;
}

bool OffersNewerVersion(const std::string& replyBytes)
{
    return LeadingNumber(ReplyText(replyBytes)) > PROGRAM_VERSION;
}

bool UpdateCheckDue(int8_t lastDay, int8_t lastMonth, int16_t lastYear, const UtcDate& today)
{
    return !(lastDay == today.day && lastMonth == today.month && lastYear == today.year);
}

void RecordUpdateCheck(Settings& settings, const UtcDate& today)
{
    settings.lastCheckedDay = int8_t(uint8_t(today.day & 0xFF));
    settings.lastCheckedMonth = int8_t(uint8_t(today.month & 0xFF));
    settings.lastCheckedYear = int16_t(uint16_t(today.year & 0xFFFF));
}

void StartAccountCheck(const ServiceAccount& account, ServicePlatform& platform)
{
    platform.ResetAccountIndicator();
    platform.ShowSmsBalance(-1);
    // Watched before it is sent: a reply that comes at once finds the timer
    // there to cancel.
    platform.StartConnectionWatchdog();
    platform.IssueRequest(KIND_NONCE, NonceUrl(account.serviceUrl, account.user));
}

void RequestAccountInfo(const ServiceAccount& account, ServiceNonce& nonce, ServicePlatform& platform)
{
    // Each signed request uses the next nonce; the guard thread's alarm
    // notice may take one at the same time.
    const int32_t next = NextNonce(nonce);
    platform.IssueRequest(KIND_ACCOUNT_INFO,
                          AccountInfoUrl(account.serviceUrl, account.user, next, MakeLoginHash(account.pass, next)));
}

void SendAlarmNotice(const ServiceAccount& account, ServiceNonce& nonce, ServicePlatform& platform)
{
    const int32_t next = NextNonce(nonce);
    platform.IssueRequest(KIND_ALARM_NOTICE,
                          AlarmNoticeUrl(account.serviceUrl, account.user, next, MakeLoginHash(account.pass, next)));
}

void CheckForUpdate(Settings& settings, ServicePlatform& platform)
{
    settings.SetFlag(FLAG_RESERVED_200, false);
    if (!settings.HasFlag(FLAG_DAILY_UPDATE_CHECK))
        return;
    if (!UpdateCheckDue(settings.lastCheckedDay, settings.lastCheckedMonth, settings.lastCheckedYear,
                        platform.CurrentUtcDate()))
        return;
    platform.IssueRequest(KIND_UPDATE_CHECK, UpdateCheckUrl(settings.serviceUrl));
}

void BeforeReplyRead(int kind, ServicePlatform& platform)
{
    if (kind == KIND_NONCE)
        platform.StepAccountIndicator();
    else if (kind == KIND_ACCOUNT_INFO)
        platform.CancelConnectionWatchdog();
}

const char* HandleServiceReply(int kind, const std::string& replyBytes, const ServiceAccount& account,
                               ServiceNonce& nonce, ServicePlatform& platform)
{
    switch (kind) {
    case KIND_UPDATE_CHECK:
        // The date first: the question waits for the owner, who may close
        // the main dialog meanwhile.
        platform.UpdateCheckAnswered(platform.CurrentUtcDate());
        if (OffersNewerVersion(replyBytes))
            platform.OfferHomePage(HomePageUrl(account.serviceUrl));
        return nullptr;
    case KIND_ALARM_NOTICE:
        return AlarmRefusal(replyBytes);
    case KIND_NONCE:
        nonce = LeadingInteger(ReplyText(replyBytes));
        RequestAccountInfo(account, nonce, platform);
        return nullptr;
    case KIND_ACCOUNT_INFO: {
        AccountVerdict verdict = JudgeAccountReply(replyBytes);
        if (!verdict.valid) {
            platform.LoginAnswered(false, 0);
            return INVALID_LOGIN_MESSAGE;
        }
        platform.StepAccountIndicator();
        platform.SetAccountIndicatorColour(0, 255);
        platform.LoginAnswered(true, verdict.balance);
        return nullptr;
    }
    default:
        return nullptr;
    }
}
