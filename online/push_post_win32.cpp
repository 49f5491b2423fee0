// One push message through WinHTTP, synchronously, on the push sender's own
// thread. WinHTTP rather than the service's WinINet session: it has no user
// interface and no cache, its time-outs hold per request, and a request that
// waits here holds up nothing else. Certificates are checked as WinHTTP
// always does; no security flag is ever set.
//
// winhttp.h cannot share a file with wininet.h, which app/scoped_win32.h
// brings in, hence the one owner below.
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "online/push_sender_win32.h"

namespace {

class ScopedWinHttp {
public:
    explicit ScopedWinHttp(HINTERNET handle) noexcept : handle_(handle) {}
    ~ScopedWinHttp()
    {
        if (handle_)
            WinHttpCloseHandle(handle_);
    }
    ScopedWinHttp(const ScopedWinHttp&) = delete;
    ScopedWinHttp& operator=(const ScopedWinHttp&) = delete;
    HINTERNET Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

// Long enough for a slow mobile network, short enough that a dead one lets
// the next message through within a minute.
constexpr int RESOLVE_MS = 10000;
constexpr int CONNECT_MS = 10000;
constexpr int SEND_MS = 15000;
constexpr int RECEIVE_MS = 15000;

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

PushOutcome Failed(const char* call)
{
    PushOutcome outcome;
    outcome.error = GetLastError();
    outcome.call = call;
    return outcome;
}

HINTERNET OpenSession()
{
    // The system's proxy, found as Windows 8.1 and later find it; older
    // systems (and Wine) take the configured one.
    HINTERNET session = WinHttpOpen(L"Kestrova", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        session = WinHttpOpen(L"Kestrova", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    return session;
}

std::wstring Headers(const PushTarget& target, const PushMessage& message)
{
    std::string headers = "Title: " + message.title + "\r\nPriority: " + message.priority +
                          "\r\nTags: " + message.tags + "\r\nContent-Type: text/plain; charset=utf-8\r\n";
    if (IsUsablePushToken(target.token))
        headers += "Authorization: Bearer " + target.token + "\r\n";
    return Widened(headers);
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

    const ScopedWinHttp session(OpenSession());
    if (!session)
        return Failed("WinHttpOpen");
    if (!WinHttpSetTimeouts(session.Get(), RESOLVE_MS, CONNECT_MS, SEND_MS, RECEIVE_MS))
        return Failed("WinHttpSetTimeouts");
    const ScopedWinHttp connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return Failed("WinHttpConnect");
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    const ScopedWinHttp request(WinHttpOpenRequest(connection.Get(), L"POST", path.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request)
        return Failed("WinHttpOpenRequest");
    // A redirect is not followed: the token would go with the message to
    // wherever it points. It counts as not taken.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never))
        return Failed("WinHttpSetOption");

    const std::wstring headers = Headers(target, message);
    std::string body = message.body;
    if (!WinHttpSendRequest(request.Get(), headers.c_str(), DWORD(-1L), body.empty() ? nullptr : &body[0],
                            DWORD(body.size()), DWORD(body.size()), 0))
        return Failed("WinHttpSendRequest");
    if (!WinHttpReceiveResponse(request.Get(), nullptr))
        return Failed("WinHttpReceiveResponse");
    PushOutcome outcome;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Failed("WinHttpQueryHeaders");
    outcome.answered = true;
    outcome.httpStatus = status;
    return outcome;
}
