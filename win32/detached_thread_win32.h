// One job on a thread of its own, neither waited for nor kept: it ends with
// its work (a box that waits for the owner, a page to open, one test try).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <new>
#include <utility>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"

inline DWORD WINAPI DetachedThreadMain(void* parameter) noexcept
{
    const std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(parameter));
    AtCallbackEdge(*job);
    return 0;
}

// False when the thread could not be started: the job is then dropped.
inline bool StartDetachedThread(std::function<void()> job) noexcept
{
    std::unique_ptr<std::function<void()>> owned(new (std::nothrow) std::function<void()>(std::move(job)));
    if (!owned)
        return false;
    const ScopedHandle thread(CreateThread(nullptr, 0, DetachedThreadMain, owned.get(), 0, nullptr));
    if (LogIfFalse(bool(thread), "CreateThread"))
        owned.release();  // the thread owns it now
    return bool(thread);
}
