// Loading the settings record from a key and writing it back, value by value.
#pragma once

#include "settings/registry_key.h"
#include "settings/settings.h"

// Fills the record from the store: defaults for a new key, otherwise each
// value read on its own, its default taking the place of any bad one.
void LoadSettings(Settings& settings, RegistryStore& store);

// The longest "NotifyToken" read; a longer value counts as absent, like a
// "NotifyUrl" longer than PUSH_ADDRESS_MAX_CHARS.
constexpr size_t NOTIFY_TOKEN_MAX_CHARS = 200;

// "NotifyUrl" alone, as the settings dialog's OK stores it: written when set,
// deleted when empty, so a crash later still finds it at the next start.
void WriteNotifyUrl(Settings& settings);

// Writes every persisted field through the record's key (if it has one) and
// leaves the record, the key and the account as they were. Values that
// cannot be written are named in the owner's log.
void WriteSettingValues(Settings& settings);

// WriteSettingValues, then closes the key and empties the account strings.
void WriteSettings(Settings& settings);
