// What each push service is sent and how each says taken ("NotifyKind"):
// ntfy in its JSON form, posted to the server's root with the topic in the
// body; Bark, posted to <server>/push with the device key the address holds;
// and the WeCom, DingTalk and Feishu group bots at their webhook addresses.
// Every message is one POST of JSON with the same words; the kinds differ in
// the body's shape, the signing and the answer's code. Portable: the system's
// crypto comes in as functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "online/push_notice.h"

struct PushCrypto {
    std::string (*base64)(const std::string& bytes);
    std::string (*hmacSha256)(const std::string& key, const std::string& message);
    std::string (*md5Hex)(const std::string& bytes) = nullptr;
};

struct PushRequest {
    std::string url;
    std::string headers;  // each line ended by CRLF
    std::string body;     // JSON in UTF-8, or a photo's JPEG
    const char* method = "POST";
};

// For an address PushAddressRefusal let through. unixMs: now, which the bots'
// signatures carry (they refuse one more than an hour off).
PushRequest MakePushRequest(const PushTarget& target, const PushMessage& message, int64_t unixMs,
                            const PushCrypto& crypto);

// A photo (message.photo names it, jpeg holds its bytes): ntfy's PUT of the
// JPEG to the topic's address with the words in its headers, WeCom's image
// message; the other kinds take no upload, only the text PhotoKeptPush.
PushRequest MakePhotoRequest(const PushTarget& target, const PushMessage& message, const std::string& jpeg,
                             int64_t unixMs, const PushCrypto& crypto);
bool TakesPhotos(PushKind kind);


// Fills in taken, code and words from the answer's status and body: ntfy
// takes with any 2xx; the others only with their own code for it in the
// body too, as each answers HTTP 200 with an error code for a wrong key.
void JudgePushAnswer(PushKind kind, const std::string& body, PushOutcome& outcome);

// The kind whose own host the address names (api.day.app and the bots'), or
// none: a self-hosted Bark server's addresses look like ntfy's, so only the
// owner's choice tells them apart.
std::optional<PushKind> KindOfAddress(const std::string& url);
