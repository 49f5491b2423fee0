// The program's own path, quoted for a command line: an unquoted path with a
// space would run another program. Empty when it cannot be read (logged).
#pragma once

#include <windows.h>

#include <string>

#include "win32/event_log_win32.h"

inline std::wstring QuotedProgramPath()
{
    // Room for the longest path there is; a full buffer means a cut one.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (!LogIfFalse(length != 0 && length < path.size(), "GetModuleFileNameW"))
        return {};
    path.resize(length);
    return L"\"" + path + L"\"";
}
