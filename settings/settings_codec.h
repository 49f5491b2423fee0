// Loading the settings record from a key and writing it back, value by value.
#pragma once

#include "settings/registry_key.h"
#include "settings/settings.h"

// Fills the record from the program's key as opened: defaults for a new key
// or none, otherwise each value read on its own, its default taking the place
// of any bad one. Returns the key to save through, null when none opened.
std::unique_ptr<RegistryKey> LoadSettings(Settings& settings, OpenedKey opened);

// The longest push token typed or read; a longer old "NotifyToken" counts
// as absent, like a "NotifyUrl" longer than PUSH_ADDRESS_MAX_CHARS.
constexpr size_t NOTIFY_TOKEN_MAX_CHARS = 200;

// Plain ASCII text from a REG_SZ of at most maxChars (empty when it is
// missing or bad), or nothing when it holds any other character: what is sent
// in a request line or a header is never converted on the way.
std::optional<std::string> ReadAsciiText(RegistryKey& key, const char* name, size_t maxChars);

// Writes every stored value ("NotifyUrl" and "NotifyKind" deleted when there
// is no address). Values that cannot be written are named in the owner's log.
void WriteSettings(const Settings& settings, RegistryKey& key);
