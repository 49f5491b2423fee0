// The owner's settings: the values kept under the program's key (flags,
// sensitivity, unlock password, SMS account, push kind and address, last
// update check, hot key, start with Windows). A plain record owned by the main thread: the entry loads it,
// hands it by reference to the dialogs and writes it back through its key;
// the guard gets a copy at lock (GuardConfig), the network a copy of
// what each request needs. Portable: no Windows headers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
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

// The longest push address ("NotifyUrl") kept.
constexpr size_t PUSH_ADDRESS_MAX_CHARS = 300;

// The push service the address belongs to ("NotifyKind", by its name here;
// absent or unknown: ntfy). What each is sent: online/push_kinds.h.
enum class PushKind : uint8_t { Ntfy, Bark, WeCom, DingTalk, Feishu };
constexpr const char* PUSH_KIND_NAMES[] = {"ntfy", "bark", "wecom", "dingtalk", "feishu"};

// Buffer widths, terminator included: the password is at most 9 UTF-16
// units, each account string at most 99 bytes.
constexpr size_t PASSWORD_UNITS = 10;
constexpr size_t ACCOUNT_BYTES = 100;

struct Settings {
    uint32_t flags = DEFAULT_FLAGS;
    int32_t sensitivity = DEFAULT_SENSITIVITY;
    uint32_t hotKeyModifiers = DEFAULT_HOTKEY_MODIFIERS;
    uint32_t hotKeyCode = DEFAULT_HOTKEY_CODE;
    bool startWithWindows = false;  // "StartWithWindows": the owner's Run value is written at the dialog's OK
    char16_t password[PASSWORD_UNITS] = {};
    int8_t lastCheckedDay = 0;
    int8_t lastCheckedMonth = 0;
    int16_t lastCheckedYear = 0;

    // Base address of the SMS service: the built-in default or a well-formed
    // "ServiceUrl" from the key. Read at load, never written.
    std::string serviceUrl = KESTROVA_SERVICE_URL;

    bool HasFlag(uint32_t bit) const { return (flags & bit) != 0; }
    void SetFlag(uint32_t bit, bool on) { flags = on ? flags | bit : flags & ~bit; }

    const std::string& GetServerUser() const { return serverUser; }
    const std::string& GetServerPass() const { return serverPass; }
    void SetServerUser(const std::string& text) { serverUser = text.substr(0, ACCOUNT_BYTES - 1); }
    void SetServerPass(const std::string& text) { serverPass = text.substr(0, ACCOUNT_BYTES - 1); }

    // The push address ("NotifyUrl"): plain ASCII, empty when absent. Its
    // token is not in the record: settings/notify_token_win32.h.
    std::string notifyUrl;
    PushKind notifyKind = PushKind::Ntfy;
    bool takePhotos = false;  // "TakePhotos": the camera's photos with each alarm (guard/photo_win32.h)

    std::u16string GetPassword() const { return std::u16string(password); }
    void SetPassword(const std::u16string& text)  // up to a NUL, at most 9 units, zeros after
    {
        std::fill(std::begin(password), std::end(password), u'\0');
        text.copy(password, std::min(text.find(u'\0'), PASSWORD_UNITS - 1));
    }

private:
    std::string serverUser;
    std::string serverPass;
};
