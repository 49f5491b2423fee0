// The program's own data resources (pictures, the agreement text, the siren), read in
// place: a loaded resource lives as long as the module and is never freed.
#pragma once

#include <windows.h>

struct DataResource {
    bool found = false;
    const void* bytes = nullptr;  // null when empty or not loadable
    DWORD size = 0;
};

inline DataResource FindDataResource(int resourceId, const wchar_t* type = L"data") noexcept
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), type);
    const DWORD size = found ? SizeofResource(module, found) : 0;
    const HGLOBAL loaded = size ? LoadResource(module, found) : nullptr;
    return DataResource{found != nullptr, loaded ? LockResource(loaded) : nullptr, size};
}
