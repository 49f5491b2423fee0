// The service client over WinINet: one asynchronous session, requests that
// are issued and forgotten, and one status callback on the library's threads
// that reads each reply and acts on it. The SMS login is covered by a
// ten-second connection watchdog, a timer of the main thread.
#include "online/service_calls_win32.h"

#include <commctrl.h>
#include <wininet.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <tuple>
#include <utility>

#include "online/crypto_win32.h"
#include "settings/settings.h"
#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "win32/web_page_win32.h"

namespace {

using ScopedInternet = UniqueHandle<HINTERNET, InternetCloseHandle>;

// Always fetched from the server, never written to the cache.
constexpr DWORD REQUEST_FLAGS = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr UINT WATCHDOG_MILLISECONDS = 10000;

const char WATCHDOG_MESSAGE[] =
    "Could not connect to the server.\nPlease check your internet connection\nand make sure your firewall doesn't\n"
    "block Kestrova";

// One request in flight. Its context value is a number looked up in the
// session's table, so a word from the library that comes after the request
// ended finds nothing. Whoever works on a request holds a reference to it,
// so a late write by the library still lands in it.
struct Request {
    int kind = 0;
    uint32_t login = 0;  // the login it belongs to; 0 for none
    ServiceAccount account;  // what its reply needs: the address, the login's account
    // Under the session's lock. The handle, from INTERNET_STATUS_HANDLE_CREATED
    // or the open's result, is closed when the request ends, however it ends.
    HINTERNET handle = nullptr;
    bool opened = false;  // the open's completion taken, by the issuer or the callback, or the request ended
    bool reading = false;
    int readParties = 2;  // a pending read's return and its completion: the second ends the read
    DWORD readError = 0;
    // The open's taker's, then the library's while the read is pending.
    char buffer[REPLY_BUFFER_BYTES] = {};
    INTERNET_BUFFERSA buffers = {};
};

// What the issuing threads (main, and guard for the alarm notice), the
// library's callback threads and the watchdog share, under one lock. Never
// destroyed: the library may still call back while the process ends.
struct ServiceSession {
    std::mutex lock;
    HWND dialog = nullptr;     // the main dialog; null while none is open
    HWND indicator = nullptr;  // its account indicator
    std::map<DWORD_PTR, std::shared_ptr<Request>> requests;  // in flight: a request ends when it leaves
    DWORD_PTR lastContext = 0;
    uint32_t newestLogin = 0;
    bool loginAnswered = false;  // the newest login's account reply was read: the watchdog keeps quiet
    int32_t nonce = 0;  // the signed requests': the login's and the alarm notice's
};
ServiceSession& session = *new ServiceSession;

UINT_PTR watchdog = 0;  // the main thread's timer while it runs

// What body returns, run under the session's lock.
template <class Body>
auto Locked(Body body)
{
    std::lock_guard<std::mutex> hold(session.lock);
    return body();
}

// Posted, never sent: the main dialog's thread may be busy or gone, and
// nobody waits for a reply handler. Posted messages keep their order.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window)
        LogIfFalse(PostMessageW(window, message, wParam, lParam), "PostMessageW (the service's news)");
}

UtcDate TodayUtc()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return UtcDate{now.wYear, now.wMonth, now.wDay};
}

// Ten seconds after the newest login started, on the main thread: a thread
// timer's procedure runs from any message loop there, a modal one's too.
void CALLBACK WatchdogFired(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    AtCallbackEdge([&] {
        KillTimer(nullptr, timer);
        watchdog = 0;
        if (Locked([] { return session.loginAnswered; }))
            return;
        LogEvent("The SMS service did not answer the login within ten seconds");
        MessageBoxA(nullptr, WATCHDOG_MESSAGE, "Connection Error", MB_TOPMOST | MB_ICONERROR);
    });
}

void ShowRefusalBox(const std::string& text)
{
    MessageBoxA(nullptr, text.c_str(), "Warning", MB_TOPMOST | MB_ICONWARNING);
}

void AskAndOpenHomePage(const std::string& url)
{
    if (MessageBoxW(nullptr, L"A new version of Kestrova is avaible!\n Do you want to take full advantage of the "
                             L"new features and download it now?",
                    L"New Version Available!", MB_TOPMOST | MB_ICONINFORMATION | MB_YESNO) == IDYES)
        OpenInBrowser(url);
}

void IssueRequest(int kind, const std::string& url, uint32_t login, const ServiceAccount& account);

// A reply that was read in full, acted on while its login is still the
// newest. What it tells the owner is posted, never waited for.
void HandleReply(const Request& request, const std::string& reply)
{
    ReplyAction action;
    HWND dialog, indicator;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        if (!ReplyStillWanted(request.kind, request.login, session.newestLogin))
            return;
        action = ActOnReply(request.kind, reply, request.account, session.nonce, Md5Hex);
        session.loginAnswered = session.loginAnswered || action.answersLogin;
        dialog = session.dialog;
        indicator = session.indicator;
    }
    if (action.stepIndicator)
        Post(indicator, PBM_STEPIT, 0, 0);
    if (action.indicatorGreen)
        Post(indicator, PBM_SETBARCOLOR, 0, RGB(0, 255, 0));
    if (action.answersLogin)
        Post(dialog, MAIN_MESSAGE_LOGIN_ANSWERED, action.loginValid, LPARAM(action.balance));
    if (action.updateChecked) {
        const UtcDate today = TodayUtc();  // read back by PostedDate
        Post(dialog, MAIN_MESSAGE_UPDATE_CHECKED, MAKELONG(MAKEWORD(today.day, today.month), today.year), 0);
    }
    if (action.nextKind != 0)
        IssueRequest(action.nextKind, action.nextUrl, request.login, request.account);
    // A box waits for the owner, for as long as the guard is armed on the
    // hidden desktop perhaps: never on a worker of the internet library but
    // on a thread of its own, which ends with the answer; here only when no
    // thread starts.
    if (!action.offeredPage.empty() && !RunOnStaThread(AskAndOpenHomePage, action.offeredPage))
        AskAndOpenHomePage(action.offeredPage);
    if (action.refusal)
        LogEvent(std::string("The SMS service refused: ") + action.refusal);
    if (action.refusal && !RunOnStaThread(ShowRefusalBox, action.refusal))
        ShowRefusalBox(action.refusal);
}

// Ends a request once, however it ends: whoever takes it out of the table.
// A failed call is logged. The handle is closed first, since the update
// question waits for the owner; a reply is handled only when its body was
// read.
void EndRequest(DWORD_PTR context, Request& request, bool read, FailedCall failed = {})
{
    if (!read)
        LogFailedCall(failed);
    HINTERNET handle;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        if (session.requests.erase(context) == 0)
            return;
        request.opened = true;
        handle = std::exchange(request.handle, nullptr);
    }
    const size_t length = std::min<size_t>(request.buffers.dwBufferLength, REPLY_BUFFER_BYTES - 1);
    ScopedInternet{handle};  // closed here, before the reply is handled
    if (read)
        HandleReply(request, std::string(request.buffer, length));
}

// A pending read ends with the second of its call's return and its
// completion (which brings its error): the count is then final, whichever
// wrote it last.
void LeaveRead(DWORD_PTR context, Request& request, bool completion, DWORD error)
{
    const bool last = Locked([&] {
        if (completion)
            request.readError = error;
        return --request.readParties == 0;
    });
    if (last)  // nobody writes the error any more
        EndRequest(context, request, request.readError == 0, {"InternetReadFileExA", request.readError});
}

// returned: the open's return value when it finished at once, else the
// completion's result field, which is not a handle for every call (it may be
// a mere TRUE): the handle kept at creation goes first and stays. A reply
// worth reading is read once, at the size its kind and status give: a longer
// body is cut there. The buffer and its count stay with the request while
// the read is pending.
void OnOpenComplete(DWORD_PTR context, Request& request, HINTERNET returned, DWORD error)
{
    HINTERNET handle;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        if (request.opened)
            return;  // taken already, by the callback or by the issuer
        request.opened = true;
        if (!request.handle)
            request.handle = returned;
        handle = request.handle;
    }
    if (error != 0 || !handle)  // the watchdog reports a failed login
        return EndRequest(context, request, false,
                          {"InternetOpenUrl (completed)", error != 0 ? error : DWORD(ERROR_INVALID_HANDLE)});
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        status = 0;
    request.buffers.dwStructSize = sizeof request.buffers;
    request.buffers.lpvBuffer = request.buffer;
    request.buffers.dwBufferLength = DWORD(ReplyBytesToRead(request.kind, status));
    if (request.buffers.dwBufferLength == 0)
        return EndRequest(context, request, false);
    Locked([&] { request.reading = true; });
    const FailedCall failed =
        FailureIfFalse(InternetReadFileExA(handle, &request.buffers, IRF_ASYNC, context), "InternetReadFileExA");
    if (failed.error == ERROR_IO_PENDING)
        LeaveRead(context, request, false, 0);
    else
        EndRequest(context, request, !failed, failed);
}

// Calls into the library are made without the lock: it may call back on the
// calling thread before it returns.
void CALLBACK ServiceStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) noexcept;

// The one session, opened by the first request: a start with no login and no
// update check due opens none.
HINTERNET Internet()
{
    static const HINTERNET internet = [] {
        const HINTERNET opened =
            InternetOpenW(L"KESTROVA", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
        if (LogIfFalse(opened != nullptr, "InternetOpenW"))
            LogIfFalse(InternetSetStatusCallbackW(opened, ServiceStatusCallback) != INTERNET_INVALID_STATUS_CALLBACK,
                       "InternetSetStatusCallbackW");
        return opened;
    }();
    return internet;
}

void IssueRequest(int kind, const std::string& url, uint32_t login, const ServiceAccount& account)
{
    const auto request = std::make_shared<Request>(Request{kind, login, account});
    const HINTERNET internet = Internet();
    const DWORD_PTR context = Locked([&] {
        session.requests[++session.lastContext] = request;
        return session.lastContext;
    });
    // Every URL is plain ASCII: the service's address is, and the account's
    // texts are percent-encoded.
    const HINTERNET handle = InternetOpenUrlA(internet, url.c_str(), nullptr, 0, REQUEST_FLAGS, context);
    const FailedCall failed = FailureIfFalse(handle != nullptr, "InternetOpenUrlA");
    if (handle)  // done at once: a completion may never come, so it is run here
        OnOpenComplete(context, *request, handle, 0);
    else if (failed.error != ERROR_IO_PENDING)  // refused: no completion will come
        EndRequest(context, *request, false, failed);
}

void CALLBACK ServiceStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) noexcept
{
    // A creation notice points to the new handle (some systems send it as
    // the first field of an INTERNET_ASYNC_RESULT, which reads the same); a
    // completion to an INTERNET_ASYNC_RESULT.
    const bool created = status == INTERNET_STATUS_HANDLE_CREATED && infoLength >= sizeof(HINTERNET);
    const bool completed = status == INTERNET_STATUS_REQUEST_COMPLETE && infoLength >= sizeof(INTERNET_ASYNC_RESULT);
    if (!info || !(created || completed))
        return;
    AtCallbackEdge([&] {
        try {
            std::unique_lock<std::mutex> hold(session.lock);
            const auto found = session.requests.find(context);
            if (found == session.requests.end())
                return;  // ended already, or not one of ours
            const std::shared_ptr<Request> request = found->second;
            if (created) {
                // Kept, so that a request that fails later is closed all the
                // same; the last one created is the request's own.
                if (const HINTERNET handle = *static_cast<const HINTERNET*>(info))
                    request->handle = handle;
                return;
            }
            const bool reading = request->reading;
            hold.unlock();
            const INTERNET_ASYNC_RESULT& result = *static_cast<const INTERNET_ASYNC_RESULT*>(info);
            if (reading)
                LeaveRead(context, *request, true, result.dwError);
            else
                OnOpenComplete(context, *request, reinterpret_cast<HINTERNET>(result.dwResult), result.dwError);
        } catch (const std::bad_alloc&) {
            // Out of memory while handling a reply: the reply is dropped, as
            // a lost one would be; at the edge it would start an armed alarm.
        }
    });
}

}  // namespace

void OpenServiceSession(HWND mainDialog, HWND accountIndicator)
{
    std::lock_guard<std::mutex> hold(session.lock);
    session.dialog = mainDialog;
    session.indicator = accountIndicator;
}

void ForgetMainDialog(HWND mainDialog)
{
    std::lock_guard<std::mutex> hold(session.lock);
    if (session.dialog == mainDialog)
        session.dialog = session.indicator = nullptr;
}

void StartAccountCheck(const ServiceAccount& account)
{
    const auto [login, dialog, indicator] = Locked([] {
        session.loginAnswered = false;
        // Supersedes any earlier login still waiting for its replies.
        return std::make_tuple(++session.newestLogin, session.dialog, session.indicator);
    });
    // The indicator empty and red on a range of two steps; no balance yet.
    Post(indicator, PBM_SETRANGE, 0, MAKELPARAM(0, 2));
    Post(indicator, PBM_SETSTEP, 1, 0);
    Post(indicator, PBM_SETPOS, 0, 0);
    Post(indicator, PBM_SETBARCOLOR, 0, RGB(255, 0, 0));
    Post(dialog, MAIN_MESSAGE_SHOW_BALANCE, WPARAM(uint32_t(-1)), 0);
    // Started before the request is sent; a newer login's start restarts
    // the one timer.
    watchdog = SetTimer(nullptr, watchdog, WATCHDOG_MILLISECONDS, WatchdogFired);
    LogIfFalse(watchdog != 0, "SetTimer (the login watchdog)");
    IssueRequest(KIND_NONCE, NonceUrl(account.serviceUrl, account.user), login, account);
}

void CheckForUpdate(Settings& settings)
{
    if (TakeUpdateCheck(settings, TodayUtc()))
        IssueRequest(KIND_UPDATE_CHECK, UpdateCheckUrl(settings.serviceUrl), 0,
                     ServiceAccount{settings.serviceUrl, {}, {}});
}

void SendAlarmNotice(const ServiceAccount& account)
{
    const std::string url = Locked([&] { return SignedRequestUrl(KIND_ALARM_NOTICE, account, session.nonce, Md5Hex); });
    IssueRequest(KIND_ALARM_NOTICE, url, 0, account);
}

void PrepareAlarmNotice()
{
    Md5Hex({});
    Internet();
}

UtcDate PostedDate(WPARAM date)
{
    return UtcDate{HIWORD(date), HIBYTE(LOWORD(date)), LOBYTE(LOWORD(date))};
}
