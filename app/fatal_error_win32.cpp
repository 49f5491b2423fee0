#include "app/fatal_error_win32.h"
#include "win32/callback_edge_win32.h"
#include "win32/scoped_win32.h"

namespace {

struct FatalBox {
    const wchar_t* text;
    HDESK desktop;
};

void ShowFatalBox(const wchar_t* text)
{
    MessageBoxW(nullptr, text, L"Fatal Error", MB_ICONERROR);
}

DWORD FatalBoxThreadBody(LPVOID parameter)
{
    const auto* box = static_cast<const FatalBox*>(parameter);
    // A new thread has no windows yet, so it may still change desktops.
    SetThreadDesktop(box->desktop);
    ShowFatalBox(box->text);
    return 0;
}

DWORD WINAPI FatalBoxThread(LPVOID parameter) noexcept
{
    return AtCallbackEdge(DWORD(0), [&] { return FatalBoxThreadBody(parameter); });
}

void ShowFatalBoxOn(const wchar_t* text, HDESK desktop)
{
    FatalBox box{text, desktop};
    const ScopedHandle thread(desktop ? CreateThread(nullptr, 0, FatalBoxThread, &box, 0, nullptr) : nullptr);
    if (thread)
        WaitForSingleObject(thread.Get(), INFINITE);
    else
        ShowFatalBox(text);
}

}  // namespace

void FatalExit(const wchar_t* text, int exitCode, HDESK desktop)
{
    ShowFatalBoxOn(text, desktop);
    ExitProcess(UINT(exitCode));
}
