// The settings key in the real registry.
#pragma once

#include <windows.h>

#include <string>

#include "settings/registry_key.h"

// The program's key, HKEY_CURRENT_USER\Software\Nobrik\Kestrova, the one the
// settings and the give-back record both keep their values in: opened, or
// created when it does not exist. Each caller gets a handle of its own.
OpenedKey OpenSettingsKey();

// The same over any root and path, so tests can point it somewhere harmless.
OpenedKey OpenRegistryKey(HKEY root, const std::wstring& path);

// Plain ASCII as UTF-16.
std::wstring Widened(const std::string& ascii);
