// The settings key in the real registry.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "settings/registry_key.h"

// The program's key: HKEY_CURRENT_USER\Software\Nobrik\Kestrova.
extern const wchar_t SETTINGS_KEY_PATH[];

// A store over any root and path, so tests can point it somewhere harmless.
std::unique_ptr<RegistryStore> CreateRegistryStore(HKEY root, const std::wstring& path);
