// The unlock password as the guard reads and compares it, and the count of
// wrong ones that ends in an alarm. Portable: no Windows headers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

using PasswordEdit = std::array<char16_t, PASSWORD_UNITS>;

// The password edit as a 10-unit WM_GETTEXT read leaves it: at most 9 units,
// then the terminator, the rest zero.
PasswordEdit ReadPasswordEdit(std::u16string_view typed);

// Unit by unit, case-sensitive, up to and including the terminator of either;
// an empty stored password is matched by an empty edit. The stored one is
// read the way the edit is (ReadPasswordEdit).
bool PasswordMatches(const PasswordEdit& typed, const PasswordEdit& stored);

// A stored password that an empty edit matches: such a guard guards nothing,
// so nothing arms with it.
bool PasswordIsEmpty(std::u16string_view stored);

// The characters of a stored password that the guard's box cannot take,
// given VkKeyScanExW's result with the keyboard layout for each unit (scans[i]
// for stored[i]). The box is a password edit (no input method) behind a
// filter that swallows Ctrl and Alt: a character counts only when the layout
// types it (not -1) with Shift at most (no Ctrl, Alt, Hankaku or reserved bit
// in the high byte). Only what the edit reads is judged (ReadPasswordEdit).
std::u16string UntypableAtGuard(std::u16string_view stored, const std::vector<int16_t>& scans);

// The fifth wrong password since arming starts the alarm: guessing is not free.
constexpr uint32_t WRONG_PASSWORDS_FOR_ALARM = 5;

// Wrong passwords since arming. An empty edit is no guess, and the same
// wrong text submitted again straight after counts once, so a held Enter
// (the edit keeps its text) gives no false alarm.
class WrongPasswords {
public:
    // A submit that did not unlock; true when it counts.
    bool Submitted(const PasswordEdit& typed);
    uint32_t Count() const { return count_; }

private:
    uint32_t count_ = 0;
    PasswordEdit last_ = {};
};
