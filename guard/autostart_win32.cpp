#include "guard/autostart_win32.h"

#include <windows.h>

#include <string>

#include "win32/event_log_win32.h"

namespace {

constexpr wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t AUTOSTART_VALUE[] = L"Kestrova";

}  // namespace

void AddAutostart() noexcept
{
    // Room for the longest path there is; a full buffer means a cut one.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (length == 0 || length >= path.size()) {
        LogFailedCall("GetModuleFileNameW", GetLastError());
        return;
    }
    path.resize(length);
    // Quoted: an unquoted path with a space would run another program.
    const std::wstring command = L"\"" + path + L"\"";
    const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, RUN_KEY, AUTOSTART_VALUE, REG_SZ, command.c_str(),
                                           DWORD((command.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        LogFailedCall("RegSetKeyValueW (the Run value)", DWORD(status));
}

void RemoveAutostart() noexcept
{
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, AUTOSTART_VALUE);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        LogFailedCall("RegDeleteKeyValueW (the Run value)", DWORD(status));
}
