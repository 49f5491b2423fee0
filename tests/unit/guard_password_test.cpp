// The unlock password as the guard dialog compares it: what a 10-unit read
// of the edit keeps, then unit by unit up to the terminator.
#include <gtest/gtest.h>

#include <string>

#include "fresh_settings_test.h"
#include "guard/guard_filter.h"
#include "settings/settings.h"

namespace {

class GuardPasswordTest : public FreshSettingsTest {
protected:
    bool Unlocks(const std::u16string& stored, const std::u16string& typed)
    {
        Settings& settings = GetSettings();
        settings.SetPassword(stored);
        return PasswordMatches(ReadPasswordEdit(typed), settings.password);
    }
};

TEST_F(GuardPasswordTest, TheSamePasswordUnlocks)
{
    EXPECT_TRUE(Unlocks(u"secret", u"secret"));
}

TEST_F(GuardPasswordTest, NineCharactersUnlock)
{
    EXPECT_TRUE(Unlocks(u"abcdefghi", u"abcdefghi"));
    EXPECT_FALSE(Unlocks(u"abcdefghi", u"abcdefghx"));
    EXPECT_FALSE(Unlocks(u"abcdefghi", u"abcdefgh"));
}

TEST_F(GuardPasswordTest, ATenthTypedCharacterIsCutBeforeComparing)
{
    EXPECT_TRUE(Unlocks(u"abcdefghi", u"abcdefghij"));
    EXPECT_TRUE(Unlocks(u"abcdefghi", u"abcdefghiXYZ"));
    // A stored password is cut the same way when it is set.
    EXPECT_TRUE(Unlocks(u"abcdefghij", u"abcdefghi"));
}

TEST_F(GuardPasswordTest, TheEditReadKeepsNineUnitsAndTheTerminator)
{
    const auto buffer = ReadPasswordEdit(u"0123456789ABC");
    EXPECT_EQ(std::u16string(buffer.data()), u"012345678");
    EXPECT_EQ(buffer[9], u'\0');
    const auto shorter = ReadPasswordEdit(u"ab");
    EXPECT_EQ(shorter[0], u'a');
    EXPECT_EQ(shorter[1], u'b');
    for (size_t i = 2; i < shorter.size(); ++i)
        EXPECT_EQ(shorter[i], u'\0');
}

TEST_F(GuardPasswordTest, EmptyMatchesEmptyOnly)
{
    EXPECT_TRUE(Unlocks(u"", u""));
    EXPECT_FALSE(Unlocks(u"", u"a"));
    EXPECT_FALSE(Unlocks(u"a", u""));
}

TEST_F(GuardPasswordTest, ThePrefixOrALongerTextDoesNotUnlock)
{
    // The terminator takes part in the comparison.
    EXPECT_FALSE(Unlocks(u"secret", u"secre"));
    EXPECT_FALSE(Unlocks(u"secret", u"secrets"));
}

TEST_F(GuardPasswordTest, CaseMatters)
{
    EXPECT_FALSE(Unlocks(u"Secret", u"secret"));
    EXPECT_FALSE(Unlocks(u"secret", u"SECRET"));
    EXPECT_TRUE(Unlocks(u"SeCrEt", u"SeCrEt"));
}

TEST_F(GuardPasswordTest, UnitsBeyondAsciiCompareExactly)
{
    EXPECT_TRUE(Unlocks(u"密码ü", u"密码ü"));
    EXPECT_FALSE(Unlocks(u"密码ü", u"密码u"));
}

TEST_F(GuardPasswordTest, WhatFollowsTheTerminatorIsNotCompared)
{
    char16_t stored[PASSWORD_UNITS] = {u'a', u'b', 0, u'x', u'y', 0, 0, 0, 0, 0};
    std::array<char16_t, PASSWORD_UNITS> typed = {u'a', u'b', 0, u'q', 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(PasswordMatches(typed, stored));
}

}  // namespace
