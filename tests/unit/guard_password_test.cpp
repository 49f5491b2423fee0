// The unlock password as the guard dialog compares it: what a 10-unit read
// of the edit keeps, then unit by unit up to the terminator.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "guard/password_rules.h"

namespace {

bool Unlocks(const std::u16string& stored, const std::u16string& typed)
{
    return PasswordMatches(ReadPasswordEdit(typed), ReadPasswordEdit(stored));
}

TEST(GuardPasswordTest, UnlocksOnlyWhenTheReadTextEqualsTheStoredOne)
{
    struct Case {
        std::u16string stored;
        std::u16string typed;
        bool unlocks;
        const char* why;
    };
    const Case cases[] = {
        {u"secret", u"secret", true, "the same password"},
        {u"abcdefghi", u"abcdefghi", true, "nine characters"},
        {u"abcdefghi", u"abcdefghx", false, "the ninth differs"},
        {u"abcdefghi", u"abcdefgh", false, "one short of nine"},
        {u"abcdefghi", u"abcdefghij", true, "a tenth typed character is cut"},
        {u"abcdefghi", u"abcdefghiXYZ", true, "all past the ninth is cut"},
        {u"abcdefghij", u"abcdefghi", true, "a stored password is cut the same way"},
        {u"", u"", true, "empty matches empty"},
        {u"", u"a", false, "empty against a character"},
        {u"a", u"", false, "a character against empty"},
        {u"secret", u"secre", false, "a prefix: the terminator takes part"},
        {u"secret", u"secrets", false, "a longer text"},
        {u"Secret", u"secret", false, "case matters"},
        {u"secret", u"SECRET", false, "case matters, all capitals"},
        {u"SeCrEt", u"SeCrEt", true, "mixed case typed the same"},
        {u"密码ü", u"密码ü", true, "units beyond ASCII"},
        {u"密码ü", u"密码u", false, "units beyond ASCII compare exactly"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Unlocks(c.stored, c.typed), c.unlocks) << c.why;
}

TEST(GuardPasswordTest, TheEditReadKeepsNineUnitsAndTheTerminator)
{
    const struct {
        std::u16string typed;
        std::u16string kept;
    } cases[] = {{u"0123456789ABC", u"012345678"}, {u"ab", u"ab"}, {u"", u""}};
    for (const auto& c : cases) {
        const auto buffer = ReadPasswordEdit(c.typed);
        for (size_t i = 0; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], i < c.kept.size() ? c.kept[i] : u'\0') << "unit " << i;
    }
}

TEST(GuardPasswordTest, WhatFollowsTheTerminatorIsNotCompared)
{
    std::array<char16_t, PASSWORD_UNITS> stored = {u'a', u'b', 0, u'x', u'y', 0, 0, 0, 0, 0};
    std::array<char16_t, PASSWORD_UNITS> typed = {u'a', u'b', 0, u'q', 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(PasswordMatches(typed, stored));
}

}  // namespace

TEST(GuardPasswordTest, WrongPasswordsCountOnlyNewGuesses)
{
    const struct {
        std::vector<std::u16string> submits;
        const char* counted;  // one character a submit: 1 counted, 0 not
        const char* why;
    } cases[] = {
        {{u"a", u"b", u"c", u"d", u"e", u"f"}, "111111", "every new guess counts, past the fifth too"},
        {{u"", u"", u"a", u""}, "0010", "an empty edit is no guess"},
        {{u"a", u"a", u"a", u"b", u"b"}, "10010", "a held Enter counts once"},
        {{u"a", u"b", u"a", u"b"}, "1111", "a text again after another counts again"},
        {{u"a", u"", u"a"}, "100", "an empty submit between repeats makes no new guess"},
        {{u"abcdefghiX", u"abcdefghiY"}, "10", "texts equal once read (nine units) are one"},
    };
    for (const auto& c : cases) {
        WrongPasswords wrong;
        std::string counted;
        for (const std::u16string& submit : c.submits)
            counted += wrong.Submitted(ReadPasswordEdit(submit)) ? '1' : '0';
        EXPECT_EQ(counted, c.counted) << c.why;
        EXPECT_EQ(wrong.Count(), uint32_t(std::count(counted.begin(), counted.end(), '1'))) << c.why;
    }
}

TEST(GuardPasswordTest, OnlyAPasswordAnEmptyEditMatchesIsEmpty)
{
    EXPECT_TRUE(PasswordIsEmpty(u""));
    EXPECT_TRUE(PasswordIsEmpty(std::u16string(1, u'\0') + u"x")) << "units after a terminator are not read";
    EXPECT_FALSE(PasswordIsEmpty(u" ")) << "a space is a password";
    EXPECT_FALSE(PasswordIsEmpty(u"a"));
}

TEST(GuardPasswordTest, OnlyWhatTheLayoutTypesWithShiftAtMostReachesTheGuard)
{
    // VkKeyScanExW's result: the shift state in the high byte (1 Shift, 2 Ctrl,
    // 4 Alt, 8 Hankaku, 16 and 32 the layout's own), -1 for none.
    const struct {
        std::u16string stored;
        std::vector<int16_t> scans;
        std::u16string untypable;
        const char* why;
    } cases[] = {
        {u"aA", {0x0041, 0x0141}, u"", "plain and Shift"},
        {u"a\u20ac", {0x0041, 0x0645}, u"\u20ac", "AltGr is Ctrl+Alt, which the filter swallows"},
        {u"\u20ac\u5bc6", {-1, -1}, u"\u20ac\u5bc6", "characters the layout lacks: the euro (US), an input method's"},
        {u"abc", {0x0241, 0x0441, 0x0841}, u"abc", "Ctrl, Alt or Hankaku alone"},
        {u"abcdefghi\u20ac", {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, -1}, u"",
         "a stored tenth unit never reaches the edit"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UntypableAtGuard(c.stored, c.scans), c.untypable) << c.why;
}
