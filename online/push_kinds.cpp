#include "online/push_kinds.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "online/service_protocol.h"

namespace {

// By PushKind: the service's own host, and the field of its answer that
// says taken with which code, beside its words.
const struct {
    const char* host;
    const char* codeField;
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
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '\n')
            json += {'\\', c == '\n' ? 'n' : c};
        else if (byte < 0x20)
            json += std::string("\\u00") + "01"[byte >> 4] + "0123456789abcdef"[byte & 15];
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

std::optional<int64_t> JsonInteger(const std::string& json, const char* name)
{
    const size_t at = JsonValueAt(json, name);
    const size_t digits = at == std::string::npos ? at : at + (json[at] == '-');
    const size_t end = std::min(json.find_first_not_of("0123456789", digits), json.size());
    if (digits >= json.size() || end == digits || end - digits > 12)
        return std::nullopt;
    return std::stoll(json.substr(at, end - at));
}

// The printable ASCII of a string value, escapes taken as the character
// after the backslash, cut at 100 characters: for the log and the box.
std::string JsonWords(const std::string& json, const char* name)
{
    size_t at = JsonValueAt(json, name);
    std::string words;
    if (at == std::string::npos || json[at] != '"')
        return words;
    for (++at; at < json.size() && json[at] != '"' && words.size() < 100; ++at) {
        at += json[at] == '\\';
        if (at < json.size() && json[at] >= 0x20 && json[at] < 0x7F)
            words += json[at];
    }
    return words;
}

int NtfyPriority(const std::string& priority)
{
    return priority == "urgent" ? 5 : priority == "high" ? 4 : 3;
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
    PushRequest request{url, "Content-Type: application/json; charset=utf-8\r\n", ""};
    switch (target.kind) {
    case PushKind::Ntfy: {
        // The topic is the last segment; the root is what stands before it.
        const size_t topicAt = url.rfind('/', queryAt - 1) + 1;
        std::string tags;
        for (size_t at = 0, end; at < message.tags.size(); at = end + 1) {
            end = std::min(message.tags.find(',', at), message.tags.size());
            tags += (at ? "," : "") + Json(message.tags.substr(at, end - at));
        }
        request.url = url.substr(0, topicAt) + url.substr(queryAt);
        request.body = "{\"topic\":" + Json(url.substr(topicAt, queryAt - topicAt)) + ",\"title\":" +
                       Json(message.title) + ",\"message\":" + Json(message.body) +
                       ",\"priority\":" + std::to_string(NtfyPriority(message.priority)) + ",\"tags\":[" + tags + "]}";
        break;
    }
    case PushKind::Bark: {
        // A critical alert sounds on an iPhone set to silent.
        const size_t keyEnd = std::min(url.find('/', pathAt + 1), queryAt);
        request.url = url.substr(0, pathAt) + "/push";
        request.body = "{\"device_key\":" + Json(url.substr(pathAt + 1, keyEnd - pathAt - 1)) + ",\"title\":" +
                       Json(message.title) + ",\"body\":" + Json(message.body) +
                       (message.priority == "urgent" ? ",\"level\":\"critical\",\"volume\":10}" : "}");
        break;
    }
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
    case PushKind::Feishu: {
        // Feishu: the time in seconds and the secret key an HMAC of nothing.
        const std::string seconds = std::to_string(unixMs / 1000);
        const std::string signature =
            secret.empty() ? "" : "\"timestamp\":\"" + seconds + "\",\"sign\":" +
                                      Json(crypto.base64(crypto.hmacSha256(seconds + "\n" + secret, ""))) + ",";
        request.body = "{" + signature + "\"msg_type\":\"text\",\"content\":{\"text\":" + text + "}}";
        break;
    }
    }
    // ntfy's and a self-hosted Bark's protection: user:password split at the
    // first colon goes as Basic, any other token as Bearer.
    if ((target.kind == PushKind::Ntfy || target.kind == PushKind::Bark) && IsUsablePushToken(secret))
        request.headers += "Authorization: " +
                           (secret.find(':') != std::string::npos ? "Basic " + crypto.base64(secret)
                                                                    : "Bearer " + secret) + "\r\n";
    return request;
}

void JudgePushAnswer(PushKind kind, const std::string& body, PushOutcome& outcome)
{
    const auto& row = KINDS[size_t(kind)];
    outcome.taken = outcome.httpStatus >= 200 && outcome.httpStatus <= 299;
    if (!row.codeField)
        return;
    outcome.code = JsonInteger(body, row.codeField);
    outcome.words = JsonWords(body, row.wordsField);
    outcome.taken = outcome.taken && outcome.code == row.takenCode;
}

std::optional<PushKind> KindOfAddress(const std::string& url)
{
    const size_t scheme = url.find("://");
    std::string host = scheme == std::string::npos ? "" : url.substr(scheme + 3);
    host = host.substr(0, host.find_first_of(":/?"));
    std::transform(host.begin(), host.end(), host.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    for (size_t kind = 1; kind < std::size(KINDS); ++kind) {
        if (host == KINDS[kind].host)
            return PushKind(kind);
    }
    return std::nullopt;
}
