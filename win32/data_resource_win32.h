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
    DataResource resource;
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), type);
    if (!found)
        return resource;
    resource.found = true;
    resource.size = SizeofResource(module, found);
    const HGLOBAL loaded = resource.size ? LoadResource(module, found) : nullptr;
    resource.bytes = loaded ? LockResource(loaded) : nullptr;
    return resource;
}
