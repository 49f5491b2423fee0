#include "online/web_page_win32.h"
#include "win32/callback_edge_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <new>

#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "online/service_protocol.h"

namespace {

struct StaWork {
    void (*work)(const std::string&);
    std::string text;
};

DWORD StaThreadMainBody(void* parameter)
{
    std::unique_ptr<StaWork> job(static_cast<StaWork*>(parameter));
    const ScopedComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        job->work(job->text);
    } catch (const std::bad_alloc&) {
        // Out of memory in the work: nothing is opened, as when the browser
        // will not start; at the edge it would start an armed alarm.
    }
    return 0;
}

DWORD WINAPI StaThreadMain(void* parameter) noexcept
{
    return AtCallbackEdge(DWORD(0), [&] { return StaThreadMainBody(parameter); });
}

}  // namespace

void OpenInBrowser(const std::string& url)
{
    // Up to 32: a failure, and the value is its error code.
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr,
                                                                SW_SHOWNORMAL));
    if (result <= 32)
        LogFailedCall("ShellExecuteA", static_cast<unsigned long>(result));
}

bool RunOnStaThread(void (*work)(const std::string&), const std::string& text)
{
    std::unique_ptr<StaWork> job(new (std::nothrow) StaWork{work, text});
    if (!job)
        return false;
    // Neither waited for nor kept: it ends with its work.
    const ScopedHandle thread(CreateThread(nullptr, 0, StaThreadMain, job.get(), 0, nullptr));
    if (!thread) {
        LogFailedCall("CreateThread", GetLastError());
        return false;
    }
    job.release();  // the thread owns it now
    return true;
}

bool OpenWebPageOnStaThread(const std::string& url)
{
    return RunOnStaThread(OpenInBrowser, url);
}

bool OpenSignUpPage(const std::string& serviceUrl)
{
    return OpenWebPageOnStaThread(SignUpPageUrl(serviceUrl));
}
