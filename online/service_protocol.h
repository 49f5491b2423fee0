// The online service's rules, apart from the internet library that carries
// them: request kinds and URLs, how much of a reply is read and what it
// means, the SMS login's next step with its nonce and hash, and the daily
// update check. Pure: the client passes in the state they work on.
#pragma once

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
enum RequestKind : int { KIND_UPDATE_CHECK = 1, KIND_ALARM_NOTICE = 2, KIND_NONCE = 3, KIND_ACCOUNT_INFO = 4 };

constexpr size_t REPLY_BUFFER_BYTES = 11;  // the largest read and its zero byte

// Bytes to read of a reply with this status, 0 when it is not read at all.
// A reply is read only when its kind is known and its HTTP status is 2xx,
// except an alarm reply: its refusal words count whatever the status. One
// sent with an error status is read one byte further than its words, so
// that only a body that is exactly one of them can refuse.
size_t ReplyBytesToRead(int kind, uint32_t httpStatus);

// RFC 3986: unreserved characters as they are, every other byte as %XX.
std::string PercentEncode(const std::string& value);

std::string NonceUrl(const std::string& base, const std::string& user);
std::string UpdateCheckUrl(const std::string& base);

// MD5 as 32 lowercase hex digits: Md5Hex (online/crypto_win32.h), passed in
// so that these rules build and test without Windows.
using Md5Function = std::string (*)(const std::string& bytes);

// The signed request of this kind (the account request, or the alarm notice
// for KIND_ALARM_NOTICE), made with the nonce after this one, which it takes:
// each signed request uses the next, wrapping past the largest int. Its hash
// is the MD5 of the password's bytes followed by the nonce in decimal.
std::string SignedRequestUrl(int kind, const ServiceAccount& account, int32_t& nonce, Md5Function md5);

// The leading decimal number: optional white space, an optional sign, digits
// with an optional point and fraction; no number gives 0.
double LeadingNumber(const std::string& text);
// atoi as this program reads a typed sensitivity and the service's numbers,
// without the C library's locale or its undefined overflow: the leading
// number's whole part, held to the range of an int32.
int32_t LeadingInteger(const std::string& text);

// Arrays, each one object in every file, so a refusal can be told by its
// address too.
inline constexpr char INVALID_LOGIN_MESSAGE[] =
    "You supplied an invalid login.\nPlease retype your username and/or password.";
inline constexpr char NO_CREDIT_MESSAGE[] = "You are out of SMS credits. No alarm was sent to your cell phone!";
inline constexpr char CELL_NOT_VALIDATED_MESSAGE[] =
    "Your cell phone is not yet validated. No alarm was sent to your cell phone!";

// A login is numbered when it starts; its nonce and account requests carry
// the number. A later login supersedes it: its replies are then dropped, so
// only the newest login sets the nonce, tells the main dialog its answer and
// quiets the watchdog. The other kinds belong to no login (0) and always count.
bool ReplyStillWanted(int kind, uint32_t login, uint32_t newestLogin);

// What the client does with a reply it has read, in this order.
struct ReplyAction {
    bool stepIndicator = false;  // the account indicator one step further
    bool indicatorGreen = false;
    bool answersLogin = false;  // the main dialog learns the verdict; the watchdog keeps quiet
    bool loginValid = false;  // "VALID" and at least one more byte read
    int32_t balance = 0;  // what follows "VALID"
    bool updateChecked = false;  // the main dialog records today as the last check
    int nextKind = 0;  // a request to send now, to nextUrl: the signed account request after a nonce
    std::string nextUrl;
    std::string offeredPage;  // "New Version Available!" asked (a version above ours), and this page opened on yes
    // Shown in a "Warning" box. An alarm reply refuses only when, up to its
    // first zero byte, it is exactly one of the words; otherwise it counts as sent.
    const char* refusal = nullptr;
};
// account: the one its request was made for; nonce: the client's, which a
// nonce reply sets and its account request takes.
ReplyAction ActOnReply(int kind, const std::string& replyBytes, const ServiceAccount& account, int32_t& nonce,
                       Md5Function md5);

struct UtcDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Whether to ask for the current version now, on the main thread: only with
// the daily check on and the stored date not today's (equality only: an
// earlier or a later date lets the check run). Clears FLAG_RESERVED_200
// either way.
bool TakeUpdateCheck(Settings& settings, const UtcDate& today);
// Stores the date of the last answered check in the record (low 8 bits of
// day and month), on the main thread, which the network thread tells.
void RecordUpdateCheck(Settings& settings, const UtcDate& today);
