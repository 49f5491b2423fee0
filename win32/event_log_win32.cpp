#include "win32/event_log_win32.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <new>

#include "win32/event_log.h"
#include "win32/scoped_win32.h"

namespace {

class Win32LogFiles final : public LogFiles {
public:
    Win32LogFiles(std::wstring current, std::wstring older)
        : current_(std::move(current)), older_(std::move(older))
    {
    }

    uint64_t CurrentSize() noexcept override
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(current_.c_str(), GetFileExInfoStandard, &data))
            return 0;
        return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    bool Append(std::string_view bytes) noexcept override
    {
        // Opened for each batch and shared, so that the owner can open the
        // file while the program runs, and a second copy can add its lines.
        const ScopedHandle file(CreateFileW(current_.c_str(), FILE_APPEND_DATA,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE) {
            Report("CreateFileW", GetLastError());
            return false;
        }
        DWORD done = 0;
        if (!WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) ||
            done != bytes.size()) {
            Report("WriteFile", GetLastError());
            return false;
        }
        return true;
    }

    bool KeepAsOlder() noexcept override
    {
        if (MoveFileExW(current_.c_str(), older_.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        Report("MoveFileExW", GetLastError());
        return false;
    }

private:
    // The log cannot log its own failure; a debugger can see it.
    static void Report(const char* call, DWORD error) noexcept
    {
        char text[96];
        std::snprintf(text, sizeof text, "Kestrova: the log: %s failed with error %lu\n", call,
                      static_cast<unsigned long>(error));
        OutputDebugStringA(text);
    }

    std::wstring current_;
    std::wstring older_;
};

std::wstring LogFolder()
{
    ScopedCoTaskMem<wchar_t> base;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, base.Receive())) ||
        !base)
        return std::wstring();
    return std::wstring(base.Get()) + L"\\Kestrova";
}

}  // namespace

void LogFailedCall(const char* call, unsigned long error) noexcept
{
    char text[160];
    std::snprintf(text, sizeof text, "%s failed with error %lu (0x%08lX)", call ? call : "?", error,
                  error);
    LogEvent(text);
}

void StartWin32EventLog() noexcept
{
    try {
        const std::wstring folder = LogFolder();
        if (folder.empty())
            return;
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return;
        // Made once, for the writer thread that outlives every other owner.
        static Win32LogFiles* files =
            new Win32LogFiles(folder + L"\\kestrova.log", folder + L"\\kestrova.old.log");
        StartEventLog(*files);
    } catch (const std::bad_alloc&) {
        // No memory for a path: the program goes on without its log.
    }
}
