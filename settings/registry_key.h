// A narrow view of one registry key, so the settings codec can run against an
// in-memory key in tests and against the real registry in kestrova.exe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr uint32_t REGISTRY_TYPE_SZ = 1;     // REG_SZ
constexpr uint32_t REGISTRY_TYPE_DWORD = 4;  // REG_DWORD

// Which of the two Win32 entry points a value goes through: the W calls keep
// UTF-16 text, the A calls convert to and from the system code page.
enum class TextWidth { Wide, Narrow };

struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The value, or nothing when it is missing, unreadable, or larger than
    // bufferSize bytes.
    virtual std::optional<RegistryValue> Read(const std::string& name, size_t bufferSize, TextWidth width) = 0;
    // 0, or the system's error code: the caller reports a failed save.
    virtual uint32_t Write(const std::string& name, const RegistryValue& value, TextWidth width) = 0;
    // Removes the value; true when it is gone (or was never there).
    virtual bool Delete(const std::string& name) = 0;
    // Waits until what was written is on the disk; 0, or the system's error code.
    virtual uint32_t Flush() = 0;
};

// The program's key, opened or created (settings/registry_store_win32.h).
struct OpenedKey {
    std::unique_ptr<RegistryKey> key;  // null when it could be neither opened nor created
    bool created = false;
};
