// The settings dialog's rules over any typed text: the sensitivity edit is
// read like atoi over the first 9 characters (compared with the C library),
// what is shown parses back to what is stored, the drag distance is the
// exact floor of the root for any points a drag gives, and OK stores the
// password and account cut to their buffers so that typing the same password
// at the guard unlocks it.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "guard/password_rules.h"
#include "settings/settings.h"
#include "app/settings_dialog_rules.h"

namespace {

// The sensitivity OK stores for this text.
int32_t ParseSensitivity(const std::string& typed)
{
    Settings settings;
    SettingsDialogEntries entries;
    entries.sensitivityText = typed;
    (void)StoreSettingsDialogEntries(settings, entries);
    return settings.sensitivity;
}

void CheckSensitivity(const std::string& typed)
{
    const int32_t parsed = ParseSensitivity(typed);
    // The edit's 10-byte read: 9 characters and a zero, then strtol.
    char buffer[SENSITIVITY_TEXT_BYTES] = {};
    std::memcpy(buffer, typed.data(), std::min(typed.size(), SENSITIVITY_TEXT_BYTES - 1));
    const long expected = std::strtol(buffer, nullptr, 10);
    FUZZ_CHECK(expected == parsed);

    const std::string shown = SensitivityFieldText(parsed);
    FUZZ_CHECK(shown.size() < SENSITIVITY_TEXT_BYTES);
    FUZZ_CHECK(ParseSensitivity(shown) == parsed);
}

// Where the points are ones a drag can give (a client point from a message,
// a cursor within 16 bits), r*r <= d < (r+1)*(r+1) exactly; anywhere else the
// distance stays within the clamped square.
void CheckDistance(const ScreenPoint& a, const ScreenPoint& b)
{
    const int64_t distance = DragDistance(a, b);
    FUZZ_CHECK(distance >= 0 && distance <= 185363);  // 2^17 * sqrt(2)
    const auto near = [](int32_t c) { return std::abs(int64_t(c)) <= 0xFFFF; };
    if (!near(a.x) || !near(a.y) || !near(b.x) || !near(b.y))
        return;
    const int64_t dx = int64_t(a.x) - b.x;
    const int64_t dy = int64_t(a.y) - b.y;
    const int64_t square = dx * dx + dy * dy;
    FUZZ_CHECK(distance * distance <= square && (distance + 1) * (distance + 1) > square);
}

std::u16string WideText(const std::string& bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    SettingsDialogEntries entries;
    entries.sensitivityText = input.ShortString();
    entries.dailyUpdateCheck = input.Flag();
    entries.useSmsService = input.Flag();
    entries.password = WideText(input.ShortString());
    entries.serverUser = input.ShortString();
    entries.serverPass = input.ShortString();
    const ScreenPoint start{int32_t(input.Word()), int32_t(input.Word())};
    const ScreenPoint sample{int32_t(input.Word()), int32_t(input.Word())};
    const uint32_t lParam = input.Word();

    CheckSensitivity(entries.sensitivityText);
    CheckDistance(start, sample);
    // The click point is the message's two words, read back unchanged.
    const ScreenPoint click = ClientPointFromMessage(lParam);
    FUZZ_CHECK((uint32_t(click.y) << 16 | uint32_t(click.x)) == lParam);
    CheckDistance(click, sample);

    Settings settings;
    settings.flags = input.Word();
    const uint32_t before = settings.flags;
    const bool check = StoreSettingsDialogEntries(settings, entries);
    FUZZ_CHECK(check == entries.useSmsService);
    FUZZ_CHECK(settings.sensitivity == ParseSensitivity(entries.sensitivityText));
    FUZZ_CHECK(settings.HasFlag(FLAG_DAILY_UPDATE_CHECK) == entries.dailyUpdateCheck);
    FUZZ_CHECK(settings.HasFlag(FLAG_SMS_SERVICE) == entries.useSmsService);
    FUZZ_CHECK(((settings.flags ^ before) & ~(FLAG_DAILY_UPDATE_CHECK | FLAG_SMS_SERVICE)) == 0);

    // The password: up to its first zero unit, at most 9 units, terminated.
    const std::u16string cut = entries.password.substr(0, entries.password.find(u'\0')).substr(0, PASSWORD_UNITS - 1);
    FUZZ_CHECK(settings.GetPassword() == cut && settings.password[PASSWORD_UNITS - 1] == 0);
    FUZZ_CHECK(settings.GetServerUser() == entries.serverUser.substr(0, ACCOUNT_BYTES - 1));
    FUZZ_CHECK(settings.GetServerPass() == entries.serverPass.substr(0, ACCOUNT_BYTES - 1));

    // Typing at the guard what was typed here unlocks; anything that reads
    // differently does not.
    FUZZ_CHECK(PasswordMatches(ReadPasswordEdit(cut), ReadPasswordEdit(settings.GetPassword())));
    const std::u16string other = WideText(input.ShortString());
    const std::array<char16_t, PASSWORD_UNITS> typed = ReadPasswordEdit(other);
    const std::u16string typedText(typed.data());
    FUZZ_CHECK(PasswordMatches(typed, ReadPasswordEdit(settings.GetPassword())) == (typedText == cut));

    // Shown again, the dialog holds what was stored.
    const SettingsDialogEntries shown = EntriesFromSettings(settings);
    FUZZ_CHECK(ParseSensitivity(shown.sensitivityText) == settings.sensitivity);
    FUZZ_CHECK(shown.password == cut && shown.useSmsService == entries.useSmsService);
    return 0;
}
