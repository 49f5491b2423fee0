#include "online/service_client_win32.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "app/account_indicator_win32.h"
#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "win32/message_window_win32.h"
#include "online/service_calls_win32.h"
#include "online/service_protocol.h"
#include "online/service_requests.h"
#include "online/web_page_win32.h"
#include "settings/settings.h"

namespace {

// Always fetched from the server, never written to the cache.
constexpr DWORD REQUEST_FLAGS = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr UINT WATCHDOG_MILLISECONDS = 10000;
constexpr UINT WM_CANCEL_WATCHDOG = WM_APP + 1;  // wParam: the login
constexpr UINT_PTR WATCHDOG_TIMER = 1;
constexpr wchar_t WATCHDOG_WINDOW_CLASS[] = L"KestrovaServiceWatchdog";

std::atomic<bool> sessionOpened{false};
std::atomic<HINTERNET> session{nullptr};

// The watchdog: a timer of a message-only window made on the main thread
// when the session opens, so a cancel posted from the network thread always
// finds it (a posted thread message would be lost in a modal dialog's loop,
// a window message is not). Never destroyed: it lives as long as the thread.
std::atomic<HWND> watchdogWindow{nullptr};
WatchdogLogin watchedLogin;  // main thread only

// One request in flight. Its context value is a number looked up in the
// table of requests in flight, so a word from the library that comes after
// the request ended finds nothing. Whoever works on a request holds a
// reference to it, so a late write by the library still lands in it.
struct PendingRequest {
    int kind = 0;
    uint32_t login = 0;  // the login it belongs to; 0 for none
    ServiceAccount account;  // what its reply's handler needs: the address, the login's account
    // The request's handle, from INTERNET_STATUS_HANDLE_CREATED or the open's
    // result: closed when the request ends, however it ends.
    std::atomic<HINTERNET> handle{nullptr};
    std::atomic<bool> ended{false};  // set before the handle is taken for closing
    RequestSteps steps;  // open, read and end, each taken once
    std::atomic<bool> reading{false};
    std::atomic<DWORD> readError{0};
    DWORD status = 0;
    char buffer[REPLY_BUFFER_BYTES] = {};
    INTERNET_BUFFERSA buffers = {};
};
using RequestPointer = std::shared_ptr<PendingRequest>;

struct RequestTable {
    std::mutex lock;
    std::map<DWORD_PTR, RequestPointer> requests;
    DWORD_PTR lastContext = 0;
};

// The table is never destroyed: the library's threads may still call back
// while the process ends.
RequestTable& Requests()
{
    static RequestTable* table = new RequestTable;
    return *table;
}

std::atomic<uint32_t> newestLogin{0};
ServiceNonce nonce{0};

const char WATCHDOG_MESSAGE[] =
    "Could not connect to the server.\nPlease check your internet connection\nand make sure your firewall doesn't\n"
    "block Kestrova";

void IssueTaggedRequest(int kind, const std::string& url, uint32_t login, const ServiceAccount& account);
void AskAndOpenHomePage(const std::string& url);
void ShowOnThreadOfItsOwn(void (*show)(const std::string&), const std::string& text);

// The platform as one reply sees it: requests it issues belong to its login
// and its account.
class WinInetPlatform final : public ServicePlatform {
public:
    WinInetPlatform(uint32_t login, const ServiceAccount& account) : login(login), account(account) {}

    void IssueRequest(int kind, const std::string& url) override { IssueTaggedRequest(kind, url, login, account); }
    // A timer of the window the session's opening made on the main thread,
    // the thread that starts every login. A login started while another is
    // still being watched replaces it: the same timer starts again, now for
    // the newer login.
    void StartConnectionWatchdog() override
    {
        const HWND window = watchdogWindow.load();
        if (!window)
            return;  // logged when the session opened
        watchedLogin.Started(login);
        if (!SetTimer(window, WATCHDOG_TIMER, WATCHDOG_MILLISECONDS, nullptr))
            LogFailedCall("SetTimer (the login watchdog)", GetLastError());
    }
    // From the network thread: posted to the timer's window, which stops the
    // timer only while it watches this login.
    void CancelConnectionWatchdog() override
    {
        const HWND window = watchdogWindow.load();
        if (window && !PostMessageW(window, WM_CANCEL_WATCHDOG, WPARAM(login), 0))
            LogFailedCall("PostMessageW (the login watchdog)", GetLastError());
    }
    void ResetAccountIndicator() override { ::ResetAccountIndicator(); }
    void StepAccountIndicator() override { ::StepAccountIndicator(); }
    void SetAccountIndicatorColour(uint8_t red, uint8_t green) override { ::SetAccountIndicatorColour(red, green); }
    void ShowSmsBalance(int32_t balance) override { ::ShowSmsBalance(balance); }
    void LoginAnswered(bool valid, int32_t balance) override { ::ShowLoginAnswer(valid, balance); }
    void UpdateCheckAnswered(const UtcDate& today) override { ::ShowUpdateCheckDate(today); }

    void OfferHomePage(const std::string& url) override { ShowOnThreadOfItsOwn(AskAndOpenHomePage, url); }

    UtcDate CurrentUtcDate() override
    {
        SYSTEMTIME now;
        GetSystemTime(&now);
        return UtcDate{now.wYear, now.wMonth, now.wDay};
    }

private:
    uint32_t login;
    const ServiceAccount& account;
};

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
        if (watchedLogin.Cancel(uint32_t(wParam)))
            KillTimer(window, WATCHDOG_TIMER);
        return 0;
    }
    if (message == WM_TIMER && wParam == WATCHDOG_TIMER) {
        KillTimer(window, WATCHDOG_TIMER);
        watchedLogin.Fired();
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

RequestPointer FindRequest(DWORD_PTR context)
{
    RequestTable& table = Requests();
    std::lock_guard<std::mutex> hold(table.lock);
    auto found = table.requests.find(context);
    return found == table.requests.end() ? nullptr : found->second;
}

void ForgetRequest(DWORD_PTR context)
{
    RequestTable& table = Requests();
    std::lock_guard<std::mutex> hold(table.lock);
    table.requests.erase(context);
}

// A reply that was read in full: handed to its handler while its login is
// still the newest. What it tells the owner is posted, never waited for.
void HandleReply(const PendingRequest& request, const std::string& reply)
{
    if (!ReplyStillWanted(request.kind, request.login, newestLogin.load()))
        return;
    WinInetPlatform platform(request.login, request.account);
    BeforeReplyRead(request.kind, platform);
    const char* refusal = HandleServiceReply(request.kind, reply, request.account, nonce, platform);
    if (refusal) {
        LogEvent(std::string("The SMS service refused: ") + refusal);
        ShowOnThreadOfItsOwn(ShowRefusalBox, refusal);
    }
}

// Ends a request once, however it ends: the handle is closed first, since
// the update question waits for the owner; a reply is handled only when its
// body was read. A failed open or read hands nothing on.
void EndRequest(DWORD_PTR context, PendingRequest& request, bool read)
{
    if (!request.steps.TakeEnd())
        return;
    ForgetRequest(context);
    std::string reply;
    if (read) {
        DWORD length = request.buffers.dwBufferLength;
        if (length >= REPLY_BUFFER_BYTES)
            length = REPLY_BUFFER_BYTES - 1;
        reply.assign(request.buffer, length);
    }
    request.ended = true;
    {
        // Whoever takes the handle from the request closes it, once.
        const ScopedInternet closing(request.handle.exchange(nullptr));
    }
    if (read)
        HandleReply(request, reply);
}

void EndRead(DWORD_PTR context, PendingRequest& request, ReadStep step)
{
    if (step == ReadStep::FAILED)
        LogFailedCall("InternetReadFileExA", request.readError.load());
    if (step != ReadStep::PENDING)
        EndRequest(context, request, step == ReadStep::DONE);
}

// One read of the kind's size: a longer body is cut there. The buffer and
// its count stay with the request while the read is pending.
void StartRead(DWORD_PTR context, PendingRequest& request, HINTERNET handle)
{
    request.buffers.dwStructSize = sizeof request.buffers;
    request.buffers.lpvBuffer = request.buffer;
    request.buffers.dwBufferLength = DWORD(ReplyBytesToRead(request.kind, request.status));
    request.reading = true;
    BOOL returned = InternetReadFileExA(handle, &request.buffers, IRF_ASYNC, context);
    ReadStep step = ReadStepOfCall(returned != FALSE, returned ? 0 : GetLastError());
    if (step == ReadStep::FAILED)
        request.readError = GetLastError();
    if (step != ReadStep::PENDING) {
        EndRead(context, request, step);
    } else if (request.steps.ReadPartyDone()) {
        EndRead(context, request, ReadStepOfCompletion(request.readError));
    }
}

// returned: the open's return value when it finished at once, else the
// completion's result field, which is not a handle for every call (it may be
// a mere TRUE): the handle kept at creation goes first and stays.
void OnOpenComplete(DWORD_PTR context, PendingRequest& request, HINTERNET returned, DWORD error)
{
    if (!request.steps.TakeOpen())
        return;  // taken already, by the callback or by the issuer
    HINTERNET handle = request.handle.load();
    if (!handle)
        request.handle = handle = returned;
    if (error != 0 || !handle) {
        LogFailedCall("InternetOpenUrl (completed)", error != 0 ? error : DWORD(ERROR_INVALID_HANDLE));
        EndRequest(context, request, false);  // the watchdog reports a failed login
        return;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        status = 0;
    request.status = status;
    if (!ShouldReadReply(request.kind, 0, status)) {
        EndRequest(context, request, false);
        return;
    }
    StartRead(context, request, handle);
}

void OnReadComplete(DWORD_PTR context, PendingRequest& request, DWORD error)
{
    request.readError = error;
    if (request.steps.ReadPartyDone())
        EndRead(context, request, ReadStepOfCompletion(error));
}

}  // namespace

void OpenServiceSession()
{
    if (sessionOpened.exchange(true))
        return;
    // On the main thread, which starts every login and owns their timer.
    watchdogWindow = CreateMessageWindow(WATCHDOG_WINDOW_CLASS, WatchdogWindowProc);
    HINTERNET opened = InternetOpenW(L"KESTROVA", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    if (!opened)
        LogFailedCall("InternetOpenW", GetLastError());
    else if (InternetSetStatusCallbackW(opened, ServiceStatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        LogFailedCall("InternetSetStatusCallbackW", GetLastError());
    session = opened;
}

namespace {

void IssueTaggedRequest(int kind, const std::string& url, uint32_t login, const ServiceAccount& account)
{
    RequestPointer request(new (std::nothrow) PendingRequest);
    if (!request)
        return;
    request->kind = kind;
    request->login = login;
    request->account = account;
    DWORD_PTR context;
    {
        RequestTable& table = Requests();
        std::lock_guard<std::mutex> hold(table.lock);
        context = ++table.lastContext;
        try {
            table.requests[context] = request;
        } catch (const std::bad_alloc&) {
            // Out of memory: the request is not sent, and the program goes
            // on as after any failed request.
            return;
        }
    }
    HINTERNET handle;
    if (kind == KIND_UPDATE_CHECK)
        handle = InternetOpenUrlW(session, WidenUrl(url).c_str(), nullptr, 0, REQUEST_FLAGS, context);
    else
        handle = InternetOpenUrlA(session, url.c_str(), nullptr, 0, REQUEST_FLAGS, context);
    if (handle) {
        // Done at once: a completion may never come, so it is run here.
        OnOpenComplete(context, *request, handle, 0);
    } else if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING) {
        // Refused before it was queued: no completion will come.
        LogFailedCall(kind == KIND_UPDATE_CHECK ? "InternetOpenUrlW" : "InternetOpenUrlA", error);
        request->steps.TakeOpen();
        EndRequest(context, *request, false);
    }
}

}  // namespace

namespace {

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
        RequestPointer request = FindRequest(context);
        if (!request)
            return;  // ended already, or not one of ours
        if (created) {
            const HINTERNET handle = *static_cast<const HINTERNET*>(info);
            // Kept, so that a request that fails later is closed all the
            // same; the last one created is the request's own.
            if (handle) {
                request->handle = handle;
                // Created after the request ended: nobody else will close it.
                if (request->ended)
                    const ScopedInternet closing(request->handle.exchange(nullptr));
            }
            return;
        }
        const INTERNET_ASYNC_RESULT& result = *static_cast<const INTERNET_ASYNC_RESULT*>(info);
        if (request->reading)
            OnReadComplete(context, *request, result.dwError);
        else
            OnOpenComplete(context, *request, reinterpret_cast<HINTERNET>(result.dwResult), result.dwError);
    } catch (const std::bad_alloc&) {
        // Out of memory while handling a reply: the reply is dropped, as a
        // lost one would be; at the edge it would start an armed alarm.
    }
}

}  // namespace

void CALLBACK ServiceStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                    DWORD infoLength) noexcept
{
    AtCallbackEdge([&] { ServiceStatusCallbackBody(context, status, info, infoLength); });
}

void StartAccountCheck(const ServiceAccount& account)
{
    // A new login supersedes any earlier one still waiting for its replies.
    WinInetPlatform platform(++newestLogin, account);
    StartAccountCheck(account, platform);
}

void CheckForUpdate(Settings& settings)
{
    const ServiceAccount address{settings.serviceUrl, {}, {}};
    WinInetPlatform platform(0, address);
    CheckForUpdate(settings, platform);
}

void SendAlarmNotice(const ServiceAccount& account)
{
    WinInetPlatform platform(0, account);
    SendAlarmNotice(account, nonce, platform);
}
