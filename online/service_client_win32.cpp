// The service client over WinINet: one asynchronous session, requests that
// are issued and forgotten, and one status callback on the library's threads
// that reads each reply and acts on it. The SMS login is covered by a
// ten-second connection watchdog on the main thread.
#include "online/service_calls_win32.h"

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "online/crypto_win32.h"
#include "online/service_protocol.h"
#include "settings/settings.h"
#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/message_window_win32.h"
#include "win32/scoped_win32.h"
#include "win32/web_page_win32.h"

namespace {

// Always fetched from the server, never written to the cache.
constexpr DWORD REQUEST_FLAGS = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr UINT WATCHDOG_MILLISECONDS = 10000;
constexpr UINT WM_CANCEL_WATCHDOG = WM_APP + 1;  // wParam: the login
constexpr UINT_PTR WATCHDOG_TIMER = 1;
constexpr wchar_t WATCHDOG_WINDOW_CLASS[] = L"KestrovaServiceWatchdog";

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
using RequestPointer = std::shared_ptr<Request>;

struct ServiceWindows {
    HWND dialog = nullptr;     // the main dialog; null while none is open
    HWND indicator = nullptr;  // its account indicator
    HWND watchdog = nullptr;   // made on the main thread, which starts every login
};

// What the issuing threads (main, and guard for the alarm notice), the
// library's callback threads and the watchdog share, under one lock. Never
// destroyed: the library may still call back while the process ends.
struct ServiceSession {
    std::mutex lock;
    bool opened = false;
    HINTERNET internet = nullptr;
    ServiceWindows windows;
    std::map<DWORD_PTR, RequestPointer> requests;  // in flight: a request ends when it leaves
    DWORD_PTR lastContext = 0;
    uint32_t newestLogin = 0;
    int32_t nonce = 0;  // the signed requests': the login's and the alarm notice's
};

ServiceSession& Session()
{
    static ServiceSession* const session = new ServiceSession;
    return *session;
}

// Posted, never sent: the main dialog's thread may be busy or gone, and
// nobody waits for a reply handler. Posted messages keep their order.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !PostMessageW(window, message, wParam, lParam))
        LogFailedCall("PostMessageW (the service's news)", GetLastError());
}

UtcDate TodayUtc()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return UtcDate{now.wYear, now.wMonth, now.wDay};
}

std::wstring WidenUrl(const std::string& url)
{
    int units = MultiByteToWideChar(CP_ACP, 0, url.c_str(), int(url.size()), nullptr, 0);
    std::wstring wide(size_t(units), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, url.c_str(), int(url.size()), &wide[0], units);
    return wide;
}

LRESULT WatchdogWindowProcBody(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CANCEL_WATCHDOG) {
        // A cancel from an older login leaves the newer login's timer alone.
        std::lock_guard<std::mutex> hold(Session().lock);
        if (ReplyStillWanted(KIND_ACCOUNT_INFO, uint32_t(wParam), Session().newestLogin))
            KillTimer(window, WATCHDOG_TIMER);
        return 0;
    }
    if (message == WM_TIMER && wParam == WATCHDOG_TIMER) {
        KillTimer(window, WATCHDOG_TIMER);
        LogEvent("The SMS service did not answer the login within ten seconds");
        MessageBoxA(nullptr, WATCHDOG_MESSAGE, "Connection Error", MB_TOPMOST | MB_ICONERROR);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

const WNDPROC WatchdogWindowProc = ProcedureAtEdge<LRESULT, WatchdogWindowProcBody, 0>;

void ShowRefusalBox(const std::string& text)
{
    MessageBoxA(nullptr, text.c_str(), "Warning", MB_TOPMOST | MB_ICONWARNING);
}

void AskAndOpenHomePage(const std::string& url)
{
    if (MessageBoxW(nullptr,
                    L"A new version of Kestrova is avaible!\n Do you want to take full advantage of the "
                    L"new features and download it now?",
                    L"New Version Available!", MB_TOPMOST | MB_ICONINFORMATION | MB_YESNO) == IDYES)
        OpenInBrowser(url);
}

// A box waits for the owner, for as long as the guard is armed on the
// hidden desktop perhaps: never on a worker of the internet library. Its
// thread ends with the answer. Without a thread, shown here after all.
void ShowOnThreadOfItsOwn(void (*show)(const std::string&), const std::string& text)
{
    if (!RunOnStaThread(show, text))
        show(text);
}

void IssueRequest(int kind, const std::string& url, uint32_t login, const ServiceAccount& account);

// A reply that was read in full, acted on while its login is still the
// newest. What it tells the owner is posted, never waited for.
void HandleReply(const Request& request, const std::string& reply)
{
    ServiceSession& session = Session();
    ReplyAction action;
    ServiceWindows windows;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        if (!ReplyStillWanted(request.kind, request.login, session.newestLogin))
            return;
        action = ActOnReply(request.kind, reply, request.account, session.nonce, Md5Hex);
        windows = session.windows;
    }
    // The timer's window stops it only while it still watches this login.
    if (action.cancelWatchdog)
        Post(windows.watchdog, WM_CANCEL_WATCHDOG, WPARAM(request.login), 0);
    if (action.stepIndicator)
        Post(windows.indicator, PBM_STEPIT, 0, 0);
    if (action.indicatorGreen)
        Post(windows.indicator, PBM_SETBARCOLOR, 0, RGB(0, 255, 0));
    if (action.answersLogin)
        Post(windows.dialog, MAIN_MESSAGE_LOGIN_ANSWERED, action.login.valid, LPARAM(action.login.balance));
    if (action.updateChecked) {
        const UtcDate today = TodayUtc();  // read back by PostedDate
        Post(windows.dialog, MAIN_MESSAGE_UPDATE_CHECKED, MAKELONG(MAKEWORD(today.day, today.month), today.year), 0);
    }
    if (action.nextKind != 0)
        IssueRequest(action.nextKind, action.nextUrl, request.login, request.account);
    if (!action.offeredPage.empty())
        ShowOnThreadOfItsOwn(AskAndOpenHomePage, action.offeredPage);
    if (action.refusal) {
        LogEvent(std::string("The SMS service refused: ") + action.refusal);
        ShowOnThreadOfItsOwn(ShowRefusalBox, action.refusal);
    }
}

// Ends a request once, however it ends: whoever takes it out of the table.
// The handle is closed first, since the update question waits for the
// owner; a reply is handled only when its body was read. A failed open or
// read hands nothing on.
void EndRequest(DWORD_PTR context, Request& request, bool read)
{
    ServiceSession& session = Session();
    HINTERNET handle;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        if (session.requests.erase(context) == 0)
            return;
        request.opened = true;
        handle = std::exchange(request.handle, nullptr);
    }
    const size_t length = read ? std::min<size_t>(request.buffers.dwBufferLength, REPLY_BUFFER_BYTES - 1) : 0;
    const std::string reply(request.buffer, length);
    ScopedInternet{handle};  // closed here, before the reply is handled
    if (read)
        HandleReply(request, reply);
}

void EndRead(DWORD_PTR context, Request& request, ReadStep step, DWORD error)
{
    if (step == ReadStep::FAILED)
        LogFailedCall("InternetReadFileExA", error);
    EndRequest(context, request, step == ReadStep::DONE);
}

// One read of the kind's size: a longer body is cut there. The buffer and
// its count stay with the request while the read is pending.
void StartRead(DWORD_PTR context, Request& request, HINTERNET handle, DWORD httpStatus)
{
    request.buffers.dwStructSize = sizeof request.buffers;
    request.buffers.lpvBuffer = request.buffer;
    request.buffers.dwBufferLength = DWORD(ReplyBytesToRead(request.kind, httpStatus));
    ServiceSession& session = Session();
    {
        std::lock_guard<std::mutex> hold(session.lock);
        request.reading = true;
    }
    const BOOL returned = InternetReadFileExA(handle, &request.buffers, IRF_ASYNC, context);
    const DWORD error = returned ? 0 : GetLastError();
    const ReadStep step = ReadStepOfCall(returned != FALSE, error);
    if (step != ReadStep::PENDING) {
        EndRead(context, request, step, error);
        return;
    }
    DWORD completionError;
    bool last;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        completionError = request.readError;
        last = --request.readParties == 0;
    }
    if (last)  // the completion came first
        EndRead(context, request, ReadStepOfCompletion(completionError), completionError);
}

// returned: the open's return value when it finished at once, else the
// completion's result field, which is not a handle for every call (it may be
// a mere TRUE): the handle kept at creation goes first and stays.
void OnOpenComplete(DWORD_PTR context, Request& request, HINTERNET returned, DWORD error)
{
    HINTERNET handle;
    {
        std::lock_guard<std::mutex> hold(Session().lock);
        if (request.opened)
            return;  // taken already, by the callback or by the issuer
        request.opened = true;
        if (!request.handle)
            request.handle = returned;
        handle = request.handle;
    }
    if (error != 0 || !handle) {
        LogFailedCall("InternetOpenUrl (completed)", error != 0 ? error : DWORD(ERROR_INVALID_HANDLE));
        EndRequest(context, request, false);  // the watchdog reports a failed login
        return;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        status = 0;
    if (!ShouldReadReply(request.kind, 0, status)) {
        EndRequest(context, request, false);
        return;
    }
    StartRead(context, request, handle, status);
}

// Calls into the library are made without the lock: it may call back on the
// calling thread before it returns.
void IssueRequest(int kind, const std::string& url, uint32_t login, const ServiceAccount& account)
{
    const RequestPointer request = std::make_shared<Request>(Request{kind, login, account});
    ServiceSession& session = Session();
    HINTERNET internet;
    DWORD_PTR context;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        internet = session.internet;
        context = ++session.lastContext;
        session.requests[context] = request;
    }
    const HINTERNET handle = kind == KIND_UPDATE_CHECK
                                 ? InternetOpenUrlW(internet, WidenUrl(url).c_str(), nullptr, 0, REQUEST_FLAGS, context)
                                 : InternetOpenUrlA(internet, url.c_str(), nullptr, 0, REQUEST_FLAGS, context);
    if (handle) {
        // Done at once: a completion may never come, so it is run here.
        OnOpenComplete(context, *request, handle, 0);
    } else if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING) {
        // Refused before it was queued: no completion will come.
        LogFailedCall(kind == KIND_UPDATE_CHECK ? "InternetOpenUrlW" : "InternetOpenUrlA", error);
        EndRequest(context, *request, false);
    }
}

void ServiceStatusCallbackBody(DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength)
{
    // A creation notice points to the new handle (some systems send it as
    // the first field of an INTERNET_ASYNC_RESULT, which reads the same); a
    // completion to an INTERNET_ASYNC_RESULT.
    const bool created = status == INTERNET_STATUS_HANDLE_CREATED && infoLength >= sizeof(HINTERNET);
    const bool completed = status == INTERNET_STATUS_REQUEST_COMPLETE && infoLength >= sizeof(INTERNET_ASYNC_RESULT);
    if (!info || !(created || completed))
        return;
    try {
        ServiceSession& session = Session();
        std::unique_lock<std::mutex> hold(session.lock);
        const auto found = session.requests.find(context);
        if (found == session.requests.end())
            return;  // ended already, or not one of ours
        const RequestPointer request = found->second;
        if (created) {
            // Kept, so that a request that fails later is closed all the
            // same; the last one created is the request's own.
            if (const HINTERNET handle = *static_cast<const HINTERNET*>(info))
                request->handle = handle;
            return;
        }
        const INTERNET_ASYNC_RESULT& result = *static_cast<const INTERNET_ASYNC_RESULT*>(info);
        if (!request->reading) {
            hold.unlock();
            OnOpenComplete(context, *request, reinterpret_cast<HINTERNET>(result.dwResult), result.dwError);
            return;
        }
        request->readError = result.dwError;
        const bool last = --request->readParties == 0;
        hold.unlock();
        if (last)  // the read's call has returned: the count is final
            EndRead(context, *request, ReadStepOfCompletion(result.dwError), result.dwError);
    } catch (const std::bad_alloc&) {
        // Out of memory while handling a reply: the reply is dropped, as a
        // lost one would be; at the edge it would start an armed alarm.
    }
}

void CALLBACK ServiceStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                    DWORD infoLength) noexcept
{
    AtCallbackEdge([&] { ServiceStatusCallbackBody(context, status, info, infoLength); });
}

}  // namespace

void OpenServiceSession(HWND mainDialog, HWND accountIndicator)
{
    ServiceSession& session = Session();
    {
        std::lock_guard<std::mutex> hold(session.lock);
        session.windows.dialog = mainDialog;
        session.windows.indicator = accountIndicator;
        if (session.opened)
            return;
        session.opened = true;
    }
    const HWND watchdog = CreateMessageWindow(WATCHDOG_WINDOW_CLASS, WatchdogWindowProc);
    const HINTERNET internet =
        InternetOpenW(L"KESTROVA", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    if (!internet)
        LogFailedCall("InternetOpenW", GetLastError());
    else if (InternetSetStatusCallbackW(internet, ServiceStatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        LogFailedCall("InternetSetStatusCallbackW", GetLastError());
    std::lock_guard<std::mutex> hold(session.lock);
    session.windows.watchdog = watchdog;
    session.internet = internet;
}

void ForgetMainDialog(HWND mainDialog)
{
    ServiceSession& session = Session();
    std::lock_guard<std::mutex> hold(session.lock);
    if (session.windows.dialog == mainDialog)
        session.windows.dialog = session.windows.indicator = nullptr;
}

void StartAccountCheck(const ServiceAccount& account)
{
    ServiceSession& session = Session();
    uint32_t login;
    ServiceWindows windows;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        login = ++session.newestLogin;  // supersedes any earlier login still waiting for its replies
        windows = session.windows;
    }
    // The indicator empty and red on a range of two steps; no balance yet.
    Post(windows.indicator, PBM_SETRANGE, 0, MAKELPARAM(0, 2));
    Post(windows.indicator, PBM_SETSTEP, 1, 0);
    Post(windows.indicator, PBM_SETPOS, 0, 0);
    Post(windows.indicator, PBM_SETBARCOLOR, 0, RGB(255, 0, 0));
    Post(windows.dialog, MAIN_MESSAGE_SHOW_BALANCE, WPARAM(uint32_t(-1)), 0);
    // Watched before it is sent: a reply that comes at once finds the timer
    // there to cancel. A newer login's start restarts the one timer.
    if (windows.watchdog && !SetTimer(windows.watchdog, WATCHDOG_TIMER, WATCHDOG_MILLISECONDS, nullptr))
        LogFailedCall("SetTimer (the login watchdog)", GetLastError());
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
    ServiceSession& session = Session();
    std::string url;
    {
        std::lock_guard<std::mutex> hold(session.lock);
        url = SignedRequestUrl(KIND_ALARM_NOTICE, account, session.nonce, Md5Hex);
    }
    IssueRequest(KIND_ALARM_NOTICE, url, 0, account);
}

UtcDate PostedDate(WPARAM date)
{
    return UtcDate{HIWORD(date), HIBYTE(LOWORD(date)), LOBYTE(LOWORD(date))};
}
