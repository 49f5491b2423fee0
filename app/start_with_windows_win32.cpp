#include "app/start_with_windows_win32.h"

#include <string>

#include "win32/event_log_win32.h"
#include "win32/program_path_win32.h"

namespace {

constexpr wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t OWNER_VALUE[] = L"Kestrova";
// The documented limit of a Run value's command line.
constexpr size_t RUN_COMMAND_MAX_CHARS = 260;

}  // namespace

bool WriteOwnerRunValue(HWND dialog, bool on)
{
    if (!on) {
        const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, OWNER_VALUE);
        return status == ERROR_FILE_NOT_FOUND || LogIfError(status, "RegDeleteKeyValueW (the owner's Run value)");
    }
    const std::wstring path = QuotedProgramPath();
    if (path.empty())
        return true;  // logged; the owner's OK still stores the rest
    const std::wstring command = path + L" /tray";
    if (command.size() > RUN_COMMAND_MAX_CHARS) {
        MessageBoxA(dialog,
                    "Kestrova cannot start with Windows from this folder: Windows runs a start-up command of at most "
                    "260 characters, and the program's path is longer.\nMove kestrova.exe to a shorter path.",
                    "Start with Windows", MB_OK | MB_ICONWARNING);
        return false;
    }
    return LogIfError(RegSetKeyValueW(HKEY_CURRENT_USER, RUN_KEY, OWNER_VALUE, REG_SZ, command.c_str(),
                                      DWORD((command.size() + 1) * sizeof(wchar_t))),
                      "RegSetKeyValueW (the owner's Run value)");
}
