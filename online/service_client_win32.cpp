#include "online/service_client_win32.h"

#include <shellapi.h>

#include <atomic>
#include <new>

#include "app/account_indicator.h"
#include "online/service_calls.h"
#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

// Always fetched from the server, never written to the cache.
constexpr DWORD REQUEST_FLAGS = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr UINT WATCHDOG_MILLISECONDS = 10000;
constexpr UINT WM_CANCEL_WATCHDOG = WM_APP + 1;
constexpr wchar_t WATCHDOG_WINDOW_CLASS[] = L"KestrovaServiceWatchdog";

std::atomic<bool> sessionOpened{false};
std::atomic<HINTERNET> session{nullptr};

// The watchdog's timer id and the message-only window of the thread that
// owns the timer: KillTimer only works on the owning thread, and a posted
// thread message would be lost in a modal dialog's loop, a window message
// is not.
std::atomic<UINT_PTR> watchdogId{0};
std::atomic<HWND> watchdogWindow{nullptr};
HWND ownWatchdogWindow = nullptr;  // only touched by the thread that created it
DWORD ownWatchdogThread = 0;

// One request in flight; its address is the request's context. The library
// hands it back with the completion of the open and, when the body had not
// arrived yet, once more with the completion of the read.
struct CPendingRequest {
    int kind = 0;
    bool reading = false;
    HINTERNET handle = nullptr;
    char buffer[REPLY_BUFFER_BYTES] = {};
    DWORD bytesRead = 0;
};

const char WATCHDOG_MESSAGE[] =
    "Could not connect to the server.\nPlease check your internet connection\nand make sure your firewall doesn't\n"
    "block Kestrova";

class CWinInetPlatform final : public CServicePlatform {
public:
    void IssueRequest(int kind, const std::string& url) override { ::IssueRequest(kind, url); }
    void StartConnectionWatchdog() override { ::StartConnectionWatchdog(); }
    void CancelConnectionWatchdog() override { ::CancelConnectionWatchdog(); }
    void ResetAccountIndicator() override { ::ResetAccountIndicator(); }
    void StepAccountIndicator() override { ::StepAccountIndicator(); }
    void SetAccountIndicatorColour(uint8_t red, uint8_t green) override { ::SetAccountIndicatorColour(red, green); }
    void ShowSmsBalance(int32_t balance) override { ::ShowSmsBalance(balance); }

    bool AskToOpenHomePage() override
    {
        return MessageBoxW(nullptr,
                           L"A new version of Kestrova is avaible!\n Do you want to take full advantage of the new "
                           L"features and download it now?",
                           L"New Version Available!", MB_TOPMOST | MB_ICONINFORMATION | MB_YESNO) == IDYES;
    }

    void OpenWebPage(const std::string& url) override
    {
        ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }

    UtcDate CurrentUtcDate() override
    {
        SYSTEMTIME now;
        GetSystemTime(&now);
        return UtcDate{now.wYear, now.wMonth, now.wDay};
    }
};

CWinInetPlatform& Platform()
{
    static CWinInetPlatform platform;
    return platform;
}

std::wstring WidenUrl(const std::string& url)
{
    int units = MultiByteToWideChar(CP_ACP, 0, url.c_str(), int(url.size()), nullptr, 0);
    std::wstring wide(size_t(units), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, url.c_str(), int(url.size()), &wide[0], units);
    return wide;
}

LRESULT CALLBACK WatchdogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_CANCEL_WATCHDOG) {
        KillTimer(nullptr, UINT_PTR(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND WatchdogWindowOfThisThread()
{
    if (ownWatchdogWindow && ownWatchdogThread == GetCurrentThreadId())
        return ownWatchdogWindow;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WatchdogWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = WATCHDOG_WINDOW_CLASS;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    ownWatchdogWindow =
        CreateWindowExW(0, WATCHDOG_WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    ownWatchdogThread = GetCurrentThreadId();
    return ownWatchdogWindow;
}

void ShowRefusal(const char* text)
{
    MessageBoxA(nullptr, text, "Warning", MB_TOPMOST | MB_ICONWARNING);
}

// The body has been read (or the read failed: then it is empty). The handle
// is closed before the reply is judged, since the update question waits for
// the user.
void FinishReply(CPendingRequest* request)
{
    DWORD length = request->bytesRead < REPLY_BUFFER_BYTES ? request->bytesRead : REPLY_BUFFER_BYTES - 1;
    request->buffer[length] = '\0';
    std::string reply(request->buffer, length);
    int kind = request->kind;
    InternetCloseHandle(request->handle);
    delete request;
    if (const char* refusal = HandleServiceReply(kind, reply, GetSettings(), Platform()))
        ShowRefusal(refusal);
}

void OnOpenComplete(CPendingRequest* request, const INTERNET_ASYNC_RESULT& result)
{
    HINTERNET handle = reinterpret_cast<HINTERNET>(result.dwResult);
    if (result.dwError != 0 || !handle) {
        delete request;  // the watchdog reports a failed login; the rest fail silently
        return;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        status = 0;
    if (!ShouldReadReply(request->kind, 0, status)) {
        InternetCloseHandle(handle);
        delete request;
        return;
    }

    BeforeReplyRead(request->kind, Platform());
    request->reading = true;
    request->handle = handle;
    // One read of the kind's size: a longer body is cut there. When nothing
    // has arrived yet the read completes later, with this same context.
    if (InternetReadFile(handle, request->buffer, DWORD(ReplyReadSize(request->kind)), &request->bytesRead)) {
        FinishReply(request);
    } else if (GetLastError() != ERROR_IO_PENDING) {
        request->bytesRead = 0;
        FinishReply(request);
    }
}

void OnReadComplete(CPendingRequest* request, const INTERNET_ASYNC_RESULT& result)
{
    if (result.dwError != 0)
        request->bytesRead = 0;
    FinishReply(request);
}

}  // namespace

void OpenServiceSession()
{
    if (sessionOpened.exchange(true))
        return;
    HINTERNET opened = InternetOpenW(L"KESTROVA", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    if (opened)
        InternetSetStatusCallbackW(opened, ServiceStatusCallback);
    session = opened;
}

void IssueRequest(int kind, const std::string& url)
{
    CPendingRequest* request = new (std::nothrow) CPendingRequest;
    if (!request)
        return;
    request->kind = kind;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(request);
    HINTERNET handle;
    if (kind == KIND_UPDATE_CHECK)
        handle = InternetOpenUrlW(session, WidenUrl(url).c_str(), nullptr, 0, REQUEST_FLAGS, context);
    else
        handle = InternetOpenUrlA(session, url.c_str(), nullptr, 0, REQUEST_FLAGS, context);
    // The outcome comes through the callback, except for a request refused
    // before it was queued, which never calls back.
    if (!handle && GetLastError() != ERROR_IO_PENDING)
        delete request;
}

void CALLBACK ServiceStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                    DWORD infoLength) noexcept
{
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || !context || !info ||
        infoLength < sizeof(INTERNET_ASYNC_RESULT))
        return;
    CPendingRequest* request = reinterpret_cast<CPendingRequest*>(context);
    const INTERNET_ASYNC_RESULT& result = *static_cast<const INTERNET_ASYNC_RESULT*>(info);
    try {
        if (request->reading)
            OnReadComplete(request, result);
        else
            OnOpenComplete(request, result);
    } catch (...) {
        // Out of memory while handling a reply: the reply is dropped.
    }
}

void StartConnectionWatchdog()
{
    HWND window = WatchdogWindowOfThisThread();
    // A login started while another is still being watched replaces it: the
    // old timer would report a failure after the new login succeeded. Both
    // are started on the dialog thread, which owns the timer.
    if (UINT_PTR previous = watchdogId.exchange(0))
        KillTimer(nullptr, previous);
    watchdogId = SetTimer(nullptr, 1, WATCHDOG_MILLISECONDS, ConnectionWatchdogProc);
    watchdogWindow = window;
}

void CancelConnectionWatchdog()
{
    HWND window = watchdogWindow.load();
    if (window)
        PostMessageW(window, WM_CANCEL_WATCHDOG, WPARAM(watchdogId.load()), 0);
}

void CALLBACK ConnectionWatchdogProc(HWND window, UINT, UINT_PTR id, DWORD) noexcept
{
    KillTimer(window, id);
    MessageBoxA(nullptr, WATCHDOG_MESSAGE, "Connection Error", MB_TOPMOST | MB_ICONERROR);
}

void StartAccountCheck()
{
    StartAccountCheck(GetSettings(), Platform());
}

void CheckForUpdate()
{
    CheckForUpdate(GetSettings(), Platform());
}

void SendAlarmNotice()
{
    SendAlarmNotice(GetSettings(), Platform());
}
