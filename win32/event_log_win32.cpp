#include "win32/event_log_win32.h"

#include <shlobj.h>

#include <cstdio>
#include <new>

#include "win32/event_log.h"
#include "win32/scoped_win32.h"

namespace {

// The size check and the rename, as one step for every thread that logs: two
// threads past the limit at once would both rename, and the second would
// replace the older file with a file of one line.
SRWLOCK rolloverLock = SRWLOCK_INIT;

// The calling thread's HeldLogLines, while one lives.
thread_local HeldLogLines* heldLines = nullptr;

// The log cannot log its own failure; a debugger can see it, and the line.
void Report(const char* call, unsigned long error, const char* lostLine = nullptr) noexcept
{
    char text[96];
    std::snprintf(text, sizeof text, "Kestrova: the log: %s failed with error %lu (0x%08lX)\n", call, error, error);
    OutputDebugStringA(text);
    if (lostLine) {
        OutputDebugStringA("Kestrova: the line lost: ");
        OutputDebugStringA(lostLine);
    }
}

// Opened for each line and shared, so that the owner can read the file while
// the program runs, a second copy can add its lines, and another thread can
// roll it over meanwhile.
void WriteLine(std::string_view utf8Text) noexcept
{
    try {
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        const std::string line =
            FormatLogLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, utf8Text);
        ScopedCoTaskMem<wchar_t> base;
        const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, base.Receive());
        if (FAILED(found) || !base)
            return Report("SHGetKnownFolderPath", static_cast<unsigned long>(found), line.c_str());
        const std::wstring folder = std::wstring(base.Get()) + L"\\Kestrova";
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return Report("CreateDirectoryW", GetLastError(), line.c_str());
        const std::wstring current = folder + L"\\kestrova.log";
        const std::wstring older = folder + L"\\kestrova.old.log";
        // When the line would take the file past the limit, it becomes the older
        // file first; when that fails (another program holds the older file) the
        // line still goes to the current file, past the limit.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        AcquireSRWLockExclusive(&rolloverLock);
        const uint64_t size = GetFileAttributesExW(current.c_str(), GetFileExInfoStandard, &data)
                                  ? (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                                  : 0;  // no file yet
        if (size != 0 && size + line.size() > LOG_FILE_LIMIT &&
            !MoveFileExW(current.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING))
            Report("MoveFileExW", GetLastError());
        ReleaseSRWLockExclusive(&rolloverLock);
        const HANDLE opened = CreateFileW(current.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE)
            return Report("CreateFileW", GetLastError(), line.c_str());
        const ScopedHandle file(opened);
        DWORD done = 0;
        if (!WriteFile(file.Get(), line.data(), DWORD(line.size()), &done, nullptr) || done != line.size())
            Report("WriteFile", GetLastError(), line.c_str());
    } catch (const std::bad_alloc&) {
        // No memory for the line or a path: the line is lost, and the caller
        // (the callback edge among them, which must not throw) goes on.
        Report("LogEvent (out of memory)", ERROR_NOT_ENOUGH_MEMORY);
    }
}

}  // namespace

void LogEvent(std::string_view utf8Text) noexcept
{
    // A caller may read the error of the call it logged once more, for a box.
    const DWORD lastError = GetLastError();
    if (!heldLines) {
        WriteLine(utf8Text);
    } else {
        try {
            heldLines->lines_.emplace_back(utf8Text);
        } catch (const std::bad_alloc&) {
            Report("LogEvent (out of memory)", ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    SetLastError(lastError);
}

void LogFailedCall(const char* call, unsigned long error) noexcept
{
    char text[160];
    std::snprintf(text, sizeof text, "%s failed with error %lu (0x%08lX)", call ? call : "?", error, error);
    LogEvent(text);
}

HeldLogLines::HeldLogLines() noexcept
{
    heldLines = this;
}

HeldLogLines::~HeldLogLines()
{
    heldLines = nullptr;
    for (const std::string& line : lines_)
        LogEvent(line);
}
