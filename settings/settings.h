// The one process-wide settings record: what survives a restart (flags,
// sensitivity, unlock password, SMS account, last update check, hot key) and
// the run-time state the threads share (armed, siren, login, nonce, balance).
// Portable: no Windows headers. Loaded once by LoadSettingsFrom, then reached
// through GetSettings().
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Bits of the flag word, stored as "Settings".
constexpr uint32_t FLAG_ARMED = 0x001;
constexpr uint32_t FLAG_TRIGGER_POWER = 0x002;
constexpr uint32_t FLAG_TRIGGER_USB_MOUSE = 0x004;
constexpr uint32_t FLAG_RESERVED_008 = 0x008;
constexpr uint32_t FLAG_TRIGGER_SHUTDOWN = 0x010;
constexpr uint32_t FLAG_SHOW_WARNING = 0x020;
constexpr uint32_t FLAG_TRIGGER_MOUSE_MOVE = 0x040;
constexpr uint32_t FLAG_DAILY_UPDATE_CHECK = 0x080;
constexpr uint32_t FLAG_AGREEMENT_PENDING = 0x100;
constexpr uint32_t FLAG_RESERVED_200 = 0x200;
constexpr uint32_t FLAG_SMS_SERVICE = 0x400;
constexpr uint32_t DEFAULT_FLAGS = 0x1FF;

constexpr double PROGRAM_VERSION = 1.99;

constexpr int32_t DEFAULT_SENSITIVITY = 50;
constexpr uint32_t DEFAULT_HOTKEY_MODIFIERS = 3;  // Alt + Control
constexpr uint32_t DEFAULT_HOTKEY_CODE = 0x67;    // numpad 7

// Buffer widths, terminator included: the password is at most 9 UTF-16
// units, each account string at most 99 bytes.
constexpr size_t PASSWORD_UNITS = 10;
constexpr size_t ACCOUNT_BYTES = 100;

class RegistryKey;
class RegistryStore;

// The mouse-movement watcher of the guard; owned by the record while armed.
class MouseWatcher {
public:
    virtual ~MouseWatcher() = default;
};

struct Settings {
    Settings();
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The flag word. Atomic because the main, guard and network threads all
    // touch single bits of it.
    std::atomic<uint32_t> flags{DEFAULT_FLAGS};
    std::unique_ptr<RegistryKey> key;  // open from load until the final save; may be null
    uint32_t hotKeyModifiers = DEFAULT_HOTKEY_MODIFIERS;
    uint32_t hotKeyCode = DEFAULT_HOTKEY_CODE;
    std::unique_ptr<MouseWatcher> mouseWatcher;
    std::atomic<bool> sirenSounding{false};
    char16_t password[PASSWORD_UNITS] = {};
    std::atomic<int32_t> nonce{0};
    std::atomic<int32_t> smsBalance{0};
    std::atomic<int32_t> sensitivity{DEFAULT_SENSITIVITY};
    std::atomic<int8_t> lastCheckedDay{0};
    std::atomic<int8_t> lastCheckedMonth{0};
    std::atomic<int16_t> lastCheckedYear{0};
    std::atomic<bool> loggedIn{false};
    uint8_t lastAcLineStatus = 0;

    // Base address of the SMS service: the built-in default or a well-formed
    // "ServiceUrl" from the key. Read at load, never written.
    std::string serviceUrl;

    bool HasFlag(uint32_t bit) const { return (flags.load() & bit) != 0; }
    void SetFlag(uint32_t bit, bool on)
    {
        if (on)
            flags.fetch_or(bit);
        else
            flags.fetch_and(~bit);
    }

    std::string GetServerUser() const;
    std::string GetServerPass() const;
    void SetServerUser(const std::string& text);  // cut to 99 bytes
    void SetServerPass(const std::string& text);  // cut to 99 bytes
    void ClearAccount();  // the push token too

    // The push address ("NotifyUrl") and the token of a protected topic
    // ("NotifyToken"): plain ASCII, empty when absent. The token is only
    // ever read from the key, never written or shown.
    std::string GetNotifyUrl() const;
    std::string GetNotifyToken() const;
    void SetNotifyUrl(const std::string& text);
    void SetNotifyToken(const std::string& text);

    std::u16string GetPassword() const;
    void SetPassword(const std::u16string& text);  // cut to 9 units

private:
    mutable std::mutex accountLock;  // the strings are read on the network and guard threads
    std::string serverUser;
    std::string serverPass;
    std::string notifyUrl;
    std::string notifyToken;
};

// Creates the record and fills it from the store, replacing any earlier one.
// The entry calls it once, on the main thread, before anything reads the
// settings; tests hand in an in-memory store.
Settings& LoadSettingsFrom(RegistryStore& store);
// The record LoadSettingsFrom made. Without one, a record with the defaults
// that saves nothing.
Settings& GetSettings();
// The record if one is loaded, else null; never makes one (for callbacks
// that may run after the record is gone at exit).
Settings* LoadedSettings() noexcept;
// Writes every persisted field, closes the key and empties the account: the
// final save, at exit.
void SaveSettings(Settings& settings);
// Writes every persisted field and leaves the record whole: the session may
// end right after, or go on (ENDSESSION_CLOSEAPP, or refused while armed),
// and then the alarm notice still needs the account and the exit its key.
void SaveSettingsAtSessionEnd(Settings& settings);
// Destroys the record; the next GetSettings starts from nothing.
void DestroySettings();
