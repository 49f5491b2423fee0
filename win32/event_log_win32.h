// The owner's log on Windows: %LOCALAPPDATA%\Kestrova\kestrova.log, the older
// lines in kestrova.old.log beside it. LogEvent (win32/event_log.h) writes
// them; this adds the one way to check a Windows call.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// A failed call, named, with the error code it left: what a refusal tells
// the owner, or what waits to be logged until the siren sounds.
struct FailedCall {
    const char* call = nullptr;  // nullptr: nothing failed
    unsigned long error = 0;
    explicit operator bool() const noexcept { return call != nullptr; }
};

// One line naming the call and its error code. Never throws; waits on the
// disk as LogEvent does, and leaves the thread's last error as it was.
void LogFailedCall(const char* call, unsigned long error) noexcept;
inline void LogFailedCall(const FailedCall& failed) noexcept
{
    if (failed)
        LogFailedCall(failed.call, failed.error);
}

// The checks: the call's result and its name go in, and each returns whether
// the call succeeded. A failure is logged with its error, read first thing,
// so no other call runs between the failure and the read:
//   if (!LogIfFalse(SwitchDesktop(desktop), "SwitchDesktop")) ...
// LogIfFalse is for BOOL and handle results (GetLastError), LogIfFailed for
// an HRESULT, LogIfError for an LSTATUS and any other code whose 0 is
// success (powrprof's, winmm's MMRESULT, a GDI+ Status).
inline bool LogIfFalse(bool succeeded, const char* call) noexcept
{
    if (!succeeded)
        LogFailedCall(call, GetLastError());
    return succeeded;
}
inline bool LogIfFailed(HRESULT result, const char* call) noexcept
{
    if (FAILED(result))
        LogFailedCall(call, static_cast<unsigned long>(result));
    return SUCCEEDED(result);
}
inline bool LogIfError(LSTATUS result, const char* call) noexcept
{
    if (result != ERROR_SUCCESS)
        LogFailedCall(call, static_cast<unsigned long>(result));
    return result == ERROR_SUCCESS;
}

// The same, logging nothing: where the disk must not be waited on (the alarm
// before its siren, a hook thread), the failure is kept and logged later.
inline FailedCall FailureIfFalse(bool succeeded, const char* call) noexcept
{
    return succeeded ? FailedCall{} : FailedCall{call, GetLastError()};
}

// While one lives, the lines its thread logs wait in memory, and they are
// written in order when it ends: the alarm holds them until its siren
// sounds. A line that finds no memory is lost.
class HeldLogLines {
public:
    HeldLogLines() noexcept;
    ~HeldLogLines();
    HeldLogLines(const HeldLogLines&) = delete;
    HeldLogLines& operator=(const HeldLogLines&) = delete;

private:
    friend void LogEvent(std::string_view utf8Text) noexcept;
    std::vector<std::string> lines_;
};
