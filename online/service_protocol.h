// The online service's decisions, apart from the internet library that
// carries them: request kinds, URLs, what a reply means, the SMS login with
// its nonce and hash, the alarm notice and the daily update check.
// Portable: the platform is reached only through ServicePlatform.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

struct Settings;

// The SMS account a signed request is made for.
struct ServiceAccount {
    std::string serviceUrl;
    std::string user;
    std::string pass;
};

// The account kept in the owner's record.
ServiceAccount ServiceAccountOf(const Settings& settings);

// Carried with each request and handed back with its completion.
enum RequestKind : int {
    KIND_UPDATE_CHECK = 1,
    KIND_ALARM_NOTICE = 2,
    KIND_NONCE = 3,
    KIND_ACCOUNT_INFO = 4,
};

// Bytes read of a reply of this kind at most; 0 for an unknown kind.
size_t ReplyReadSize(int kind);
constexpr size_t REPLY_BUFFER_BYTES = 11;  // the largest read and its zero byte

// A completed request is read only when it succeeded on both levels: no
// library error and an HTTP status of 2xx. Anything else passes in silence,
// except an alarm reply: its refusal words count whatever the status.
bool ShouldReadReply(int kind, uint32_t errorCode, uint32_t httpStatus);

// RFC 3986: unreserved characters as they are, every other byte as %XX.
std::string PercentEncode(const std::string& value);

std::string NonceUrl(const std::string& base, const std::string& user);
std::string AccountInfoUrl(const std::string& base, const std::string& user, int32_t nonce,
                           const std::string& hash);
std::string AlarmNoticeUrl(const std::string& base, const std::string& user, int32_t nonce,
                           const std::string& hash);
std::string UpdateCheckUrl(const std::string& base);
std::string HomePageUrl(const std::string& base);
std::string SignUpPageUrl(const std::string& base);

// MD5 of the password's bytes followed by the nonce in decimal, as 32
// lowercase hex digits.
std::string MakeLoginHash(const std::string& password, int32_t nonce);

// The leading decimal number: optional white space, an optional sign, digits
// with an optional point and fraction; no number gives 0.
double LeadingNumber(const std::string& text);

// The reply as text: the bytes before the first zero byte.
std::string ReplyText(const std::string& replyBytes);

struct AccountVerdict {
    bool valid = false;
    int32_t balance = 0;
};
// "VALID" and at least one more byte read; the balance is what follows.
AccountVerdict JudgeAccountReply(const std::string& replyBytes);

extern const char* const INVALID_LOGIN_MESSAGE;
extern const char* const NO_CREDIT_MESSAGE;
extern const char* const CELL_NOT_VALIDATED_MESSAGE;

// The refusal an alarm reply stands for, or null when the alarm counts as
// sent. Only a whole reply that is exactly one of the words refuses.
const char* AlarmRefusal(const std::string& replyBytes);

bool OffersNewerVersion(const std::string& replyBytes);

struct UtcDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Due unless the stored date is today's (equality only: an earlier or a
// later date lets the check run).
bool UpdateCheckDue(int8_t lastDay, int8_t lastMonth, int16_t lastYear, const UtcDate& today);
// Stores the date of the last answered check in the record (low 8 bits of
// day and month), on the main thread, which the network thread tells.
void RecordUpdateCheck(Settings& settings, const UtcDate& today);

// What the protocol needs from the platform: the requests, the watchdog, the
// account indicator, the main dialog's news, the update question and the
// browser.
class ServicePlatform {
public:
    virtual ~ServicePlatform() = default;
    virtual void IssueRequest(int kind, const std::string& url) = 0;
    virtual void StartConnectionWatchdog() = 0;
    virtual void CancelConnectionWatchdog() = 0;
    virtual void ResetAccountIndicator() = 0;
    virtual void StepAccountIndicator() = 0;
    virtual void SetAccountIndicatorColour(uint8_t red, uint8_t green) = 0;
    virtual void ShowSmsBalance(int32_t balance) = 0;
    // The account reply: the owner is logged in (with this balance) or not.
    virtual void LoginAnswered(bool valid, int32_t balance) = 0;
    // The update check was answered today: its date goes to the record.
    virtual void UpdateCheckAnswered(const UtcDate& today) = 0;
    // The "New Version Available!" question, and the page opened on yes.
    // Returns at once: nobody waits for the owner's answer.
    virtual void OfferHomePage(const std::string& url) = 0;
    virtual UtcDate CurrentUtcDate() = 0;
};

// The nonce of the signed requests: the service client's own, taken by the
// login on the network thread and by the alarm notice on the guard thread.
using ServiceNonce = std::atomic<int32_t>;

void StartAccountCheck(const ServiceAccount& account, ServicePlatform& platform);
void RequestAccountInfo(const ServiceAccount& account, ServiceNonce& nonce, ServicePlatform& platform);
void SendAlarmNotice(const ServiceAccount& account, ServiceNonce& nonce, ServicePlatform& platform);
// On the main thread, over the owner's record.
void CheckForUpdate(Settings& settings, ServicePlatform& platform);

// The steps of a completion that come first once its body has been read:
// the nonce reply steps the indicator, the account reply cancels the
// watchdog. A read that fails takes neither step.
void BeforeReplyRead(int kind, ServicePlatform& platform);
// Routes a reply by its kind; account is the one its request was made for.
// Gives the refusal to show in a "Warning" box, or null.
const char* HandleServiceReply(int kind, const std::string& replyBytes, const ServiceAccount& account,
                               ServiceNonce& nonce, ServicePlatform& platform);
