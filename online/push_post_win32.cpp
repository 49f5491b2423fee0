// One push message through WinHTTP, synchronously, on the push sender's own
// thread. WinHTTP rather than the service's WinINet session: it has no user
// interface and no cache, its time-outs hold per request, and a request that
// waits here holds up nothing else. Certificates are checked as WinHTTP
// always does; no security flag is ever set.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <string>

#include "online/crypto_win32.h"
#include "online/push_kinds.h"
#include "online/push_sender_win32.h"
#include "settings/registry_store_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

namespace {

using ScopedWinHttp = UniqueHandle<HINTERNET, WinHttpCloseHandle>;

PushOutcome Failed(const char* call)
{
    PushOutcome outcome;
    outcome.error = GetLastError();
    outcome.call = call;
    return outcome;
}

// 100 ns ticks since 1601 to ms since 1970, for the bots' signatures.
int64_t UnixMs(const FILETIME& time)
{
    return int64_t((uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10000) - 11644473600000;
}

// An answer's header as ASCII; empty when it is absent.
std::string Header(HINTERNET request, DWORD which)
{
    wchar_t text[512];
    DWORD size = sizeof text;
    const FailedCall failed = FailureIfFalse(
        WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX),
        "WinHttpQueryHeaders");
    if (failed) {
        if (failed.error != ERROR_WINHTTP_HEADER_NOT_FOUND)
            LogFailedCall(failed);
        return {};
    }
    std::string ascii;
    for (const wchar_t* c = text; c < text + size / sizeof *c; ++c)
        ascii += *c < 0x80 ? char(*c) : '?';
    return ascii;
}

// Retry-After in seconds, or as a date (RFC 1123) from now; 0 without one.
int64_t RetryAfterSeconds(const std::string& value)
{
    if (!value.empty() && value.size() < 10 && value.find_first_not_of("0123456789") == std::string::npos)
        return std::stoll(value);
    SYSTEMTIME when = {};
    FILETIME then = {}, now = {};
    if (value.empty() || !WinHttpTimeToSystemTime(Widened(value).c_str(), &when) || !SystemTimeToFileTime(&when, &then))
        return 0;
    GetSystemTimeAsFileTime(&now);
    return std::max<int64_t>(0, (UnixMs(then) - UnixMs(now)) / 1000);
}

}  // namespace

PushOutcome PostPush(const PushTarget& target, const PushMessage& message)
{
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    const PushCrypto crypto = {Base64, HmacSha256, Md5Hex};
    std::string jpeg;
    if (!message.photo.empty() && !ReadPhoto(message.photo, jpeg))
        return Failed("CreateFileW");
    const PushRequest made = message.photo.empty() ? MakePushRequest(target, message, UnixMs(now), crypto)
                                                   : MakePhotoRequest(target, message, jpeg, UnixMs(now), crypto);
    const std::wstring url = Widened(made.url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(url.c_str(), DWORD(url.size()), 0, &parts))
        return Failed("WinHttpCrackUrl");
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    // The path and the query after it, as they stand in the address.
    const std::wstring path = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath) : L"/";

    // The system's proxy, found as Windows 8.1 and later find it; older
    // systems (and Wine) take the configured one.
    ScopedWinHttp session;
    for (DWORD access : {WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY})
        if (!session)
            session.Reset(WinHttpOpen(L"Kestrova", access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return Failed("WinHttpOpen");
    // Resolve, connect, send, receive: long enough for a slow mobile network,
    // short enough that a dead one lets the next message through within a minute.
    if (!WinHttpSetTimeouts(session.Get(), 10000, 10000, 15000, 15000))
        return Failed("WinHttpSetTimeouts");
    const ScopedWinHttp connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return Failed("WinHttpConnect");
    const ScopedWinHttp request(WinHttpOpenRequest(connection.Get(), Widened(made.method).c_str(), path.c_str(),
                                                   nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                   parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return Failed("WinHttpOpenRequest");
    // A redirect is not followed: the token would go with the message to
    // wherever it points. It counts as not taken.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never))
        return Failed("WinHttpSetOption");

    if (!WinHttpSendRequest(request.Get(), Widened(made.headers).c_str(), DWORD(-1L),
                            const_cast<char*>(made.body.data()), DWORD(made.body.size()), DWORD(made.body.size()), 0))
        return Failed("WinHttpSendRequest");
    if (!WinHttpReceiveResponse(request.Get(), nullptr))
        return Failed("WinHttpReceiveResponse");
    PushOutcome outcome;
    DWORD size = sizeof outcome.httpStatus;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &outcome.httpStatus, &size, WINHTTP_NO_HEADER_INDEX))
        return Failed("WinHttpQueryHeaders");
    outcome.location = Header(request.Get(), WINHTTP_QUERY_LOCATION);
    outcome.retryAfterSeconds = RetryAfterSeconds(Header(request.Get(), WINHTTP_QUERY_RETRY_AFTER));
    // The services' answers are short: what a judgement needs is in the first 4 KB.
    std::string answer;
    char chunk[1024];
    for (DWORD read = 1; read > 0 && answer.size() < 4096; answer.append(chunk, read))
        if (!LogIfFalse(WinHttpReadData(request.Get(), chunk, sizeof chunk, &read), "WinHttpReadData"))
            break;
    JudgePushAnswer(target.kind, answer, outcome);
    return outcome;
}
