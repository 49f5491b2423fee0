// An in-memory registry for the settings tests: values keep their type and
// bytes, reads obey the buffer size, and a key can be made unopenable.
#pragma once

#include <map>
#include <string>

#include "settings/registry_key.h"

struct FakeRegistry {
    bool exists = false;    // the key has been created
    bool openable = true;   // false: neither opening nor creating works
    std::map<std::string, RegistryValue> values;
    std::map<std::string, RegistryValue> flushed;  // the values as the last flush left them on disk
    int writes = 0;
    uint32_t writeError = 0;  // not 0: every write fails with it
};

// The registry the settings record of a test is loaded from; reset by each
// test.
FakeRegistry& TestRegistry();

// The key over the registry, as OpenSettingsKey opens the real one: created
// when it did not exist, none when the registry is unopenable.
OpenedKey OpenFakeKey(FakeRegistry& registry);
