// powrprof.dll for the Wine tests: Wine 10's own lacks the power scheme
// functions, so arming there holds nothing. This one keeps the held power
// settings of one active scheme in a text file and records every write and
// every PowerSetActiveScheme in it, for a test to read. Put in the prefix's
// system folder and loaded with WINEDLLOVERRIDES=powrprof=n; the program's
// own load path stays as it is.
//
// The file (KESTROVA_POWRPROF_RECORD, else powrprof-standin.txt in the temp
// folder), one line each:
//   AC lid 1        a value (a test may write the owner's values first)
//   apply active    PowerSetActiveScheme of the active scheme ("other": not)
//   refused ...     a call with a scheme, subgroup or setting it does not know
// A value with no line reads as 1. Settings: lid, power, sleep, standby.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

const GUID ACTIVE_SCHEME = {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}};
const GUID BUTTONS = {0x4F971E89, 0xEEBD, 0x4455, {0xA8, 0xDE, 0x9E, 0x59, 0x04, 0x0E, 0x73, 0x47}};
const GUID SLEEP = {0x238C9FA8, 0x0AAD, 0x41ED, {0x83, 0xF4, 0x97, 0xBE, 0x24, 0x2C, 0x8F, 0x20}};

struct Setting {
    const char* name;
    const GUID* subgroup;
    GUID guid;
};
const Setting SETTINGS[] = {
    {"lid", &BUTTONS, {0x5CA83367, 0x6E45, 0x459F, {0xA2, 0x7B, 0x47, 0x6B, 0x1D, 0x01, 0xC9, 0x36}}},
    {"power", &BUTTONS, {0x7648EFA3, 0xDD9C, 0x4E3E, {0xB5, 0x66, 0x50, 0xF9, 0x29, 0x38, 0x62, 0x80}}},
    {"sleep", &BUTTONS, {0x96996BC0, 0xAD50, 0x47EC, {0x92, 0x3B, 0x6F, 0x41, 0x87, 0x4D, 0xD9, 0xEB}}},
    {"standby", &SLEEP, {0xABFC2519, 0x3608, 0x4C2A, {0x94, 0xEA, 0x17, 0x1B, 0x0E, 0xD5, 0x46, 0xAB}}},
};

std::wstring RecordPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"KESTROVA_POWRPROF_RECORD", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return path;
    GetTempPathW(MAX_PATH, path);
    return std::wstring(path) + L"powrprof-standin.txt";
}

std::string ReadRecord()
{
    std::ifstream file(RecordPath().c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Record(const std::string& line)
{
    if (FILE* file = _wfopen(RecordPath().c_str(), L"ab")) {
        fputs((line + "\n").c_str(), file);
        fclose(file);
    }
}

// The setting a call names; null, recorded as refused, when the scheme is not
// the active one or the subgroup is not the setting's.
const Setting* Find(const char* call, const GUID* scheme, const GUID* subgroup, const GUID* setting)
{
    for (const Setting& known : SETTINGS)
        if (scheme && subgroup && setting && IsEqualGUID(*setting, known.guid) &&
            IsEqualGUID(*subgroup, *known.subgroup) && IsEqualGUID(*scheme, ACTIVE_SCHEME))
            return &known;
    Record(std::string("refused ") + call);
    return nullptr;
}

DWORD Read(const char* source, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD* value)
{
    const Setting* found = Find("read", scheme, subgroup, setting);
    if (!found || !value)
        return ERROR_INVALID_PARAMETER;
    *value = 1;
    std::istringstream lines(ReadRecord());
    const std::string key = std::string(source) + " " + found->name + " ";
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, key.size(), key) == 0)
            *value = DWORD(strtoul(line.c_str() + key.size(), nullptr, 10));  // the last one counts
    return ERROR_SUCCESS;
}

DWORD Write(const char* source, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD value)
{
    const Setting* found = Find("write", scheme, subgroup, setting);
    if (!found)
        return ERROR_INVALID_PARAMETER;
    Record(std::string(source) + " " + found->name + " " + std::to_string(value));
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI PowerGetActiveScheme(HKEY, GUID** active)
{
    *active = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
    if (!*active)
        return ERROR_NOT_ENOUGH_MEMORY;
    **active = ACTIVE_SCHEME;
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI PowerReadACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup,
                                                         const GUID* setting, DWORD* value)
{
    return Read("AC", scheme, subgroup, setting, value);
}

__declspec(dllexport) DWORD WINAPI PowerReadDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup,
                                                         const GUID* setting, DWORD* value)
{
    return Read("DC", scheme, subgroup, setting, value);
}

__declspec(dllexport) DWORD WINAPI PowerWriteACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup,
                                                          const GUID* setting, DWORD value)
{
    return Write("AC", scheme, subgroup, setting, value);
}

__declspec(dllexport) DWORD WINAPI PowerWriteDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup,
                                                          const GUID* setting, DWORD value)
{
    return Write("DC", scheme, subgroup, setting, value);
}

__declspec(dllexport) DWORD WINAPI PowerSetActiveScheme(HKEY, const GUID* scheme)
{
    Record(scheme && IsEqualGUID(*scheme, ACTIVE_SCHEME) ? "apply active" : "apply other");
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI PowerSettingAccessCheck(int, const GUID*)
{
    return ERROR_SUCCESS;
}

}  // extern "C"
