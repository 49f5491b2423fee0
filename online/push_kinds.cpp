#include "online/push_kinds.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "online/service_protocol.h"

namespace {

// By PushKind: the service's own host, and the field of its answer that
// says taken with which code, beside its words.
const struct {
    const char *host, *codeField;
    int64_t takenCode;
    const char* wordsField;
} KINDS[] = {
    {"", nullptr, 0, nullptr},  // ntfy: any 2xx
    {"api.day.app", "code", 200, "message"},
    {"qyapi.weixin.qq.com", "errcode", 0, "errmsg"},
    {"oapi.dingtalk.com", "errcode", 0, "errmsg"},
    {"open.feishu.cn", "code", 0, "msg"},
};
static_assert(std::size(KINDS) == std::size(PUSH_KIND_NAMES), "one row for each PushKind, in its order");

// A JSON string: quoted, with quotes, backslashes and control characters
// escaped; UTF-8 as it is.
std::string Json(const std::string& text)
{
    std::string json = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '\n')
            json += {'\\', c == '\n' ? 'n' : c};
        else if (uint8_t(c) < 0x20)
            json += std::string("\\u00") + "01"[c >> 4] + "0123456789abcdef"[c & 15];
        else
            json += c;
    }
    return json + '"';
}

// Where the value of "name" starts in a JSON answer, or npos. Good enough
// for the services' flat answers; the code may be any of their fields.
size_t JsonValueAt(const std::string& json, const char* name)
{
    size_t at = json.find('"' + std::string(name) + '"');
    if (at != std::string::npos)
        at = json.find_first_not_of(" \t\r\n", at + std::strlen(name) + 2);
    if (at == std::string::npos || json[at] != ':')
        return std::string::npos;
    return json.find_first_not_of(" \t\r\n", at + 1);
}

// A header's value: one line of printable ASCII as it is, anything else as
// one RFC 2047 word, =?UTF-8?B?...?=.
std::string HeaderValue(const std::string& text, const PushCrypto& crypto)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; })
               ? text
               : "=?UTF-8?B?" + crypto.base64(text) + "?=";
}

}  // namespace

PushRequest MakePushRequest(const PushTarget& target, const PushMessage& message, int64_t unixMs,
                            const PushCrypto& crypto)
{
    const std::string& url = target.url;
    const std::string& secret = target.token;
    const size_t pathAt = url.find('/', url.find("://") + 3);
    const size_t queryAt = std::min(url.find('?', pathAt), url.size());
    const std::string text = Json(message.title + "\n" + message.body);
    // ntfy's topic is the last segment, its root what stands before it; Bark's
    // device key is the first.
    const size_t topicAt = url.rfind('/', queryAt - 1) + 1;
    const size_t keyEnd = std::min(url.find('/', pathAt + 1), queryAt);
    const char priority = message.priority == "urgent" ? '5' : message.priority == "high" ? '4' : '3';
    const std::string seconds = std::to_string(unixMs / 1000);
    PushRequest request{url, "Content-Type: application/json; charset=utf-8\r\n", ""};
    switch (target.kind) {
    case PushKind::Ntfy:
        request.url = url.substr(0, topicAt) + url.substr(queryAt);
        request.body = "{\"topic\":" + Json(url.substr(topicAt, queryAt - topicAt)) + ",\"title\":" +
                       Json(message.title) + ",\"message\":" + Json(message.body) + ",\"priority\":" + priority +
                       ",\"tags\":[" + Json(message.tags) + "]}";
        break;
    case PushKind::Bark:
        // A critical alert sounds on an iPhone set to silent.
        request.url = url.substr(0, pathAt) + "/push";
        request.body = "{\"device_key\":" + Json(url.substr(pathAt + 1, keyEnd - pathAt - 1)) + ",\"title\":" +
                       Json(message.title) + ",\"body\":" + Json(message.body) +
                       (message.priority == "urgent" ? ",\"level\":\"critical\",\"volume\":10}" : "}");
        break;
    case PushKind::WeCom:
    case PushKind::DingTalk:
        request.body = "{\"msgtype\":\"text\",\"text\":{\"content\":" + text + "}}";
        // DingTalk: the secret keys an HMAC of the time in ms and itself.
        if (target.kind == PushKind::DingTalk && !secret.empty()) {
            const std::string ms = std::to_string(unixMs);
            request.url += (queryAt < url.size() ? "&timestamp=" : "?timestamp=") + ms + "&sign=" +
                           PercentEncode(crypto.base64(crypto.hmacSha256(secret, ms + "\n" + secret)));
        }
        break;
    case PushKind::Feishu:
        // Feishu: the time in seconds and the secret key an HMAC of nothing.
        if (!secret.empty())
            request.body = "\"timestamp\":\"" + seconds + "\",\"sign\":" +
                           Json(crypto.base64(crypto.hmacSha256(seconds + "\n" + secret, ""))) + ",";
        request.body = "{" + request.body + "\"msg_type\":\"text\",\"content\":{\"text\":" + text + "}}";
        break;
    }
    // ntfy's and a self-hosted Bark's protection: user:password split at the
    // first colon goes as Basic, any other token as Bearer; only printable
    // ASCII without spaces, which cannot break the headers.
    if ((target.kind == PushKind::Ntfy || target.kind == PushKind::Bark) && !secret.empty() &&
        std::all_of(secret.begin(), secret.end(), [](char c) { return c > 0x20 && c < 0x7F; }))
        request.headers += "Authorization: " +
                           (secret.find(':') != std::string::npos ? "Basic " + crypto.base64(secret)
                                                                    : "Bearer " + secret) + "\r\n";
    return request;
}

bool TakesPhotos(PushKind kind)
{
    return kind == PushKind::Ntfy || kind == PushKind::WeCom;
}

PushRequest MakePhotoRequest(const PushTarget& target, const PushMessage& message, const std::string& jpeg,
                             int64_t unixMs, const PushCrypto& crypto)
{
    if (!TakesPhotos(target.kind))
        return MakePushRequest(target, PhotoKeptPush(message.photo), unixMs, crypto);
    PushRequest request = MakePushRequest(target, message, unixMs, crypto);
    if (target.kind == PushKind::WeCom) {
        // The MD5 of the raw bytes, before Base64.
        request.body = "{\"msgtype\":\"image\",\"image\":{\"base64\":\"" + crypto.base64(jpeg) + "\",\"md5\":\"" +
                       crypto.md5Hex(jpeg) + "\"}}";
        return request;
    }
    // ntfy: the JPEG as an attachment; its Authorization stays, after the first line.
    request.url = target.url;
    request.method = "PUT";
    request.body = jpeg;
    request.headers = "Content-Type: image/jpeg\r\nFilename: " + message.photo +
                      "\r\nTitle: " + HeaderValue(message.title, crypto) +
                      "\r\nMessage: " + HeaderValue(message.body, crypto) +
                      "\r\nPriority: 5\r\nTags: " + HeaderValue(message.tags, crypto) + "\r\n" +
                      request.headers.substr(request.headers.find("\r\n") + 2);
    return request;
}

void JudgePushAnswer(PushKind kind, const std::string& body, PushOutcome& outcome)
{
    const auto& row = KINDS[size_t(kind)];
    outcome.taken = outcome.httpStatus >= 200 && outcome.httpStatus <= 299;
    if (!row.codeField)
        return;
    // The code, an integer of up to 12 digits.
    const size_t at = JsonValueAt(body, row.codeField);
    const size_t digits = at == std::string::npos ? at : at + (body[at] == '-');
    const size_t end = std::min(body.find_first_not_of("0123456789", digits), body.size());
    outcome.code = digits < body.size() && end > digits && end - digits <= 12
                       ? std::optional<int64_t>(std::stoll(body.substr(at, end - at)))
                       : std::nullopt;
    outcome.taken = outcome.taken && outcome.code == row.takenCode;
    // The words, for the log and the box: the printable ASCII of a string,
    // escapes taken as the character after the backslash, cut at 100.
    outcome.words.clear();
    size_t from = JsonValueAt(body, row.wordsField);
    from = from != std::string::npos && body[from] == '"' ? from + 1 : body.size();
    for (; from < body.size() && body[from] != '"' && outcome.words.size() < 100; ++from) {
        from += body[from] == '\\';
        if (from < body.size() && body[from] >= 0x20 && body[from] < 0x7F)
            outcome.words += body[from];
    }
}

std::optional<PushKind> KindOfAddress(const std::string& url)
{
    const size_t scheme = url.find("://");
    std::string host = scheme == std::string::npos ? "" : url.substr(scheme + 3);
    host = Lowered(host.substr(0, host.find_first_of(":/?")));
    const auto named =
        std::find_if(std::begin(KINDS) + 1, std::end(KINDS), [&](auto& row) { return host == row.host; });
    return named == std::end(KINDS) ? std::nullopt : std::optional<PushKind>(PushKind(named - KINDS));
}
