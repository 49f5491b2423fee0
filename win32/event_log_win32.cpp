#include "win32/event_log_win32.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <new>
#include <string>

#include "win32/event_log.h"
#include "win32/scoped_win32.h"

namespace {

// The size check and the rename, as one step for every thread that logs: two
// threads past the limit at once would both rename, and the second would
// replace the older file with a file of one line.
SRWLOCK rolloverLock = SRWLOCK_INIT;

// The log cannot log its own failure; a debugger can see it, and the line.
void Report(const char* call, unsigned long error, const char* lostLine = nullptr) noexcept
{
    char text[96];
    std::snprintf(text, sizeof text, "Kestrova: the log: %s failed with error %lu (0x%08lX)\n", call,
                  error, error);
    OutputDebugStringA(text);
    if (lostLine) {
        OutputDebugStringA("Kestrova: the line lost: ");
        OutputDebugStringA(lostLine);
    }
}

uint64_t FileSize(const std::wstring& path) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;  // no file yet
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// When the line would take the current file past the limit, the current file
// becomes the older one first. When that fails (another program holds the
// older file) the line still goes to the current file, past the limit.
void RollOverFor(const std::wstring& current, const std::wstring& older, size_t lineSize) noexcept
{
    AcquireSRWLockExclusive(&rolloverLock);
    const uint64_t size = FileSize(current);
    if (size != 0 && size + lineSize > LOG_FILE_LIMIT &&
        !MoveFileExW(current.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING))
        Report("MoveFileExW", GetLastError());
    ReleaseSRWLockExclusive(&rolloverLock);
}

void Append(const std::wstring& path, const std::string& line) noexcept
{
    // Opened for each line and shared, so that the owner can read the file
    // while the program runs, a second copy can add its lines, and another
    // thread can roll it over meanwhile.
    const HANDLE opened = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        Report("CreateFileW", GetLastError(), line.c_str());
        return;
    }
    const ScopedHandle file(opened);
    DWORD done = 0;
    if (!WriteFile(file.Get(), line.data(), DWORD(line.size()), &done, nullptr) || done != line.size())
        Report("WriteFile", GetLastError(), line.c_str());
}

void WriteLine(std::string_view utf8Text)
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const std::string line =
        FormatLogLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, utf8Text);
    ScopedCoTaskMem<wchar_t> base;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, base.Receive());
    if (FAILED(found) || !base) {
        Report("SHGetKnownFolderPath", static_cast<unsigned long>(found), line.c_str());
        return;
    }
    const std::wstring folder = std::wstring(base.Get()) + L"\\Kestrova";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        Report("CreateDirectoryW", GetLastError(), line.c_str());
        return;
    }
    const std::wstring current = folder + L"\\kestrova.log";
    RollOverFor(current, folder + L"\\kestrova.old.log", line.size());
    Append(current, line);
}

}  // namespace

void LogEvent(std::string_view utf8Text) noexcept
{
    try {
        WriteLine(utf8Text);
    } catch (const std::bad_alloc&) {
        // No memory for the line or a path: the line is lost, and the caller
        // (the callback edge among them, which must not throw) goes on.
        Report("LogEvent (out of memory)", ERROR_NOT_ENOUGH_MEMORY);
    }
}

void LogFailedCall(const char* call, unsigned long error) noexcept
{
    char text[160];
    std::snprintf(text, sizeof text, "%s failed with error %lu (0x%08lX)", call ? call : "?", error,
                  error);
    LogEvent(text);
}
