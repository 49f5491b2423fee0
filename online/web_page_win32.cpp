#include "online/web_page_win32.h"
#include "app/callback_edge_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <new>

#include "online/service_protocol.h"

namespace {

struct CStaWork {
    void (*work)(const std::string&);
    std::string text;
};

DWORD StaThreadMainBody(void* parameter)
{
    std::unique_ptr<CStaWork> job(static_cast<CStaWork*>(parameter));
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        job->work(job->text);
    } catch (...) {
        // Out of memory in the work: nothing is opened.
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

DWORD WINAPI StaThreadMain(void* parameter) noexcept
{
    return AtCallbackEdge(DWORD(0), [&] { return StaThreadMainBody(parameter); });
}

void OpenInBrowser(const std::string& url)
{
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

bool RunOnStaThread(void (*work)(const std::string&), const std::string& text)
{
    std::unique_ptr<CStaWork> job(new (std::nothrow) CStaWork{work, text});
    if (!job)
        return false;
    // Neither waited for nor kept: it ends with its work.
    HANDLE thread = CreateThread(nullptr, 0, StaThreadMain, job.get(), 0, nullptr);
    if (!thread)
        return false;
    job.release();  // the thread owns it now
    CloseHandle(thread);
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
