// The settings key in the real registry.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "settings/registry_key.h"

// The store over the program's key, HKEY_CURRENT_USER\Software\Nobrik\Kestrova,
// the one the settings and the give-back record both keep their values in.
std::unique_ptr<RegistryStore> CreateSettingsRegistryStore();

// A store over any root and path, so tests can point it somewhere harmless.
std::unique_ptr<RegistryStore> CreateRegistryStore(HKEY root, const std::wstring& path);
