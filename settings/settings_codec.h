// Loading the settings record from a key and writing it back, value by value.
#pragma once

#include "settings/registry_key.h"
#include "settings/settings.h"

// Opens the program's key and fills the record from it: defaults for a new
// key, otherwise each value read on its own, its default taking the place of
// any bad one. Returns the key to save through, null when none opened.
std::unique_ptr<RegistryKey> LoadSettings(Settings& settings, RegistryStore& store);

// The longest "NotifyToken" read; a longer value counts as absent, like a
// "NotifyUrl" longer than PUSH_ADDRESS_MAX_CHARS.
constexpr size_t NOTIFY_TOKEN_MAX_CHARS = 200;

// Writes every stored value ("NotifyUrl" deleted when empty). Values that
// cannot be written are named in the owner's log.
void WriteSettings(const Settings& settings, RegistryKey& key);
