// One push message through WinHTTP, synchronously, on the push sender's own
// thread. WinHTTP rather than the service's WinINet session: it has no user
// interface and no cache, its time-outs hold per request, and a request that
// waits here holds up nothing else. Certificates are checked as WinHTTP
// always does; no security flag is ever set.
//
// winhttp.h cannot share a file with wininet.h, which win32/scoped_win32.h
// brings in, hence the one owner below.
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string>

#include "online/push_sender_win32.h"

namespace {

struct WinHttpCloser {
    void operator()(HINTERNET handle) const noexcept { WinHttpCloseHandle(handle); }
};
using ScopedWinHttp = std::unique_ptr<void, WinHttpCloser>;

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

PushOutcome Failed(const char* call)
{
    return {0, GetLastError(), call};
}

}  // namespace

PushOutcome PostPush(const PushTarget& target, const PushMessage& message)
{
    const std::wstring url = Widened(target.url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = DWORD(-1);
    parts.dwUrlPathLength = DWORD(-1);
    parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(url.c_str(), DWORD(url.size()), 0, &parts))
        return Failed("WinHttpCrackUrl");
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    // The path and the query after it, as they stand in the address.
    const std::wstring path = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath) : L"/";

    // The system's proxy, found as Windows 8.1 and later find it; older
    // systems (and Wine) take the configured one.
    ScopedWinHttp session(WinHttpOpen(L"Kestrova", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        session.reset(WinHttpOpen(L"Kestrova", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return Failed("WinHttpOpen");
    // Resolve, connect, send, receive: long enough for a slow mobile network,
    // short enough that a dead one lets the next message through within a minute.
    if (!WinHttpSetTimeouts(session.get(), 10000, 10000, 15000, 15000))
        return Failed("WinHttpSetTimeouts");
    const ScopedWinHttp connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return Failed("WinHttpConnect");
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    const ScopedWinHttp request(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request)
        return Failed("WinHttpOpenRequest");
    // A redirect is not followed: the token would go with the message to
    // wherever it points. It counts as not taken.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never))
        return Failed("WinHttpSetOption");

    std::string headers = "Title: " + message.title + "\r\nPriority: " + message.priority +
                          "\r\nTags: " + message.tags + "\r\nContent-Type: text/plain; charset=utf-8\r\n";
    if (IsUsablePushToken(target.token))
        headers += "Authorization: Bearer " + target.token + "\r\n";
    std::string body = message.body;
    if (!WinHttpSendRequest(request.get(), Widened(headers).c_str(), DWORD(-1L), body.empty() ? nullptr : &body[0],
                            DWORD(body.size()), DWORD(body.size()), 0))
        return Failed("WinHttpSendRequest");
    if (!WinHttpReceiveResponse(request.get(), nullptr))
        return Failed("WinHttpReceiveResponse");
    PushOutcome outcome;
    DWORD size = sizeof outcome.httpStatus;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &outcome.httpStatus, &size, WINHTTP_NO_HEADER_INDEX))
        return Failed("WinHttpQueryHeaders");
    return outcome;
}
