#include "online/service_protocol.h"

#include <algorithm>
#include <cctype>

#include "settings/settings.h"

ServiceAccount ServiceAccountOf(const Settings& settings)
{
    return ServiceAccount{settings.serviceUrl, settings.GetServerUser(), settings.GetServerPass()};
}

size_t ReplyBytesToRead(int kind, uint32_t httpStatus)
{
    // By RequestKind: the update check, the alarm notice, the nonce, the account.
    constexpr size_t SIZES[] = {0, 4, 7, 4, 10};
    const bool is2xx = httpStatus >= 200 && httpStatus <= 299;
    if (kind < KIND_UPDATE_CHECK || kind > KIND_ACCOUNT_INFO)
        return 0;
    return kind == KIND_ALARM_NOTICE ? SIZES[kind] + (is2xx ? 0 : 1) : is2xx ? SIZES[kind] : 0;
}

std::string PercentEncode(const std::string& value)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~')
            encoded.push_back(c);
        else
            encoded += {'%', HEX[byte >> 4], HEX[byte & 15]};
    }
    return encoded;
}

std::string NonceUrl(const std::string& base, const std::string& user)
{
    return base + "/beta/lastnonce.php?e=" + PercentEncode(user);
}

std::string UpdateCheckUrl(const std::string& base)
{
    return base + "/beta/currentversion.php?v=1.99";
}

std::string SignedRequestUrl(int kind, const ServiceAccount& account, int32_t& nonce, Md5Function md5)
{
    // Through unsigned: past the largest int it wraps, where + 1 would overflow.
    nonce = int32_t(uint32_t(nonce) + 1u);
    const std::string number = std::to_string(nonce);  // digits and a sign need no encoding
    return account.serviceUrl + (kind == KIND_ALARM_NOTICE ? "/beta/alarm.php" : "/beta/accountinfo.php") + "?u=" +
           PercentEncode(account.user) + "&n=" + number + "&h=" + PercentEncode(md5(account.pass + number));
}

double LeadingNumber(const std::string& text)
{
    // C-locale white space, as the reply may come from any server.
    size_t pos = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    // Digits with one point: no exponent, no hex, no infinity. The first 15
    // significant digits make an exact whole number and the point an exact
    // power of ten, so the one division rounds as the compiler rounds the
    // literal (the library's float parser would add 30 KiB for a version).
    double digits = 0.0, scale = 1.0;
    int significant = 0;
    bool point = false;
    for (; pos < text.size() && (std::isdigit(uint8_t(text[pos])) || (text[pos] == '.' && !point)); ++pos) {
        if (text[pos] == '.') {
            point = true;
        } else if (significant < 15) {
            digits = digits * 10 + (text[pos] - '0');
            significant += digits != 0;
            scale *= point ? 10 : 1;
        } else if (!point) {
            digits *= 10;  // whole digits past the 15th still scale it
        }
    }
    return (negative ? -digits : digits) / scale;
}

int32_t LeadingInteger(const std::string& text)
{
    return int32_t(std::clamp(LeadingNumber(text), double(INT32_MIN), double(INT32_MAX)));
}

bool TakeUpdateCheck(Settings& settings, const UtcDate& today)
{
    settings.SetFlag(FLAG_RESERVED_200, false);
    return settings.HasFlag(FLAG_DAILY_UPDATE_CHECK) &&
           !(settings.lastCheckedDay == today.day && settings.lastCheckedMonth == today.month &&
             settings.lastCheckedYear == today.year);
}

void RecordUpdateCheck(Settings& settings, const UtcDate& today)
{
    settings.lastCheckedDay = int8_t(uint8_t(today.day & 0xFF));
    settings.lastCheckedMonth = int8_t(uint8_t(today.month & 0xFF));
    settings.lastCheckedYear = int16_t(uint16_t(today.year & 0xFFFF));
}

bool ReplyStillWanted(int kind, uint32_t login, uint32_t newestLogin)
{
    return (kind != KIND_NONCE && kind != KIND_ACCOUNT_INFO) || login == newestLogin;
}

ReplyAction ActOnReply(int kind, const std::string& replyBytes, const ServiceAccount& account, int32_t& nonce,
                       Md5Function md5)
{
    ReplyAction action;
    const std::string text = replyBytes.substr(0, replyBytes.find('\0'));
    switch (kind) {
    case KIND_UPDATE_CHECK:
        // The date first: the question waits for the owner, who may close
        // the main dialog meanwhile.
        action.updateChecked = true;
        if (LeadingNumber(text) > PROGRAM_VERSION)
            action.offeredPage = account.serviceUrl + "/";
        break;
    case KIND_ALARM_NOTICE:
        action.refusal = text == "INVALID" ? INVALID_LOGIN_MESSAGE
                         : text == "NOSMS" ? NO_CREDIT_MESSAGE
                         : text == "CELL"  ? CELL_NOT_VALIDATED_MESSAGE
                                           : nullptr;
        break;
    case KIND_NONCE:
        action.stepIndicator = true;
        nonce = LeadingInteger(text);
        action.nextKind = KIND_ACCOUNT_INFO;
        action.nextUrl = SignedRequestUrl(KIND_ACCOUNT_INFO, account, nonce, md5);
        break;
    case KIND_ACCOUNT_INFO:
        action.answersLogin = true;
        action.loginValid = replyBytes.size() > 5 && replyBytes.compare(0, 5, "VALID") == 0;
        action.balance = action.loginValid ? LeadingInteger(text.substr(5)) : 0;
        action.stepIndicator = action.indicatorGreen = action.loginValid;
        if (!action.loginValid)
            action.refusal = INVALID_LOGIN_MESSAGE;
        break;
    }
    return action;
}
