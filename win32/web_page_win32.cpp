#include "win32/web_page_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <new>

#include "win32/detached_thread_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

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
    return StartDetachedThread([work, text] {
        const ScopedComApartment com = StartComApartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        try {
            work(text);
        } catch (const std::bad_alloc&) {
            // Out of memory in the work: nothing is opened, as when the
            // browser will not start; at the edge it would start an armed
            // alarm.
        }
    });
}
