// The keyboard filter's swallow test and the mouse-motion accumulator.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "guard/input_rules.h"

namespace {

struct KeyCase {
    const char* name;
    bool ctrlDown;
    uint32_t keyCode;
    bool altFlag;
    bool swallowed;
};

// Readable in failures and in --gtest_list_tests instead of the struct's bytes.
void PrintTo(const KeyCase& c, std::ostream* out)
{
    const std::ios::fmtflags flags = out->flags();
    *out << std::boolalpha << '"' << c.name << "\" ctrlDown=" << c.ctrlDown << " keyCode=0x" << std::hex
         << c.keyCode << " altFlag=" << c.altFlag << " -> " << (c.swallowed ? "swallowed" : "passes");
    out->flags(flags);
}

constexpr uint32_t KEY_TAB = 0x09, KEY_ENTER = 0x0D, KEY_ESC = 0x1B, KEY_BACK = 0x08,
                   KEY_SHIFT = 0x10, KEY_LEFT_SHIFT = 0xA0, KEY_RIGHT_SHIFT = 0xA1,
                   KEY_F4 = 0x73, KEY_SPACE = 0x20, KEY_DELETE = 0x2E, KEY_APPS = 0x5D;

const KeyCase KEY_CASES[] = {
    // What the owner types reaches the guard dialog.
    {"letter A", false, 'A', false, false},
    {"letter Z", false, 'Z', false, false},
    {"digit 0", false, '0', false, false},
    {"digit 9", false, '9', false, false},
    {"Shift", false, KEY_SHIFT, false, false},
    {"left Shift", false, KEY_LEFT_SHIFT, false, false},
    {"right Shift", false, KEY_RIGHT_SHIFT, false, false},
    {"Enter", false, KEY_ENTER, false, false},
    {"Esc", false, KEY_ESC, false, false},
    {"Tab", false, KEY_TAB, false, false},
    {"Backspace", false, KEY_BACK, false, false},
    {"Space", false, KEY_SPACE, false, false},
    {"F4 alone", false, KEY_F4, false, false},
    {"Apps key", false, KEY_APPS, false, false},
    // Windows keys, whatever else is down.
    {"left Win", false, KEY_LEFT_WIN, false, true},
    {"right Win", false, KEY_RIGHT_WIN, false, true},
    {"left Win with Ctrl", true, KEY_LEFT_WIN, false, true},
    {"right Win with Alt", false, KEY_RIGHT_WIN, true, true},
    // The volume keys, and only they among their neighbours.
    {"Volume Mute", false, KEY_VOLUME_MUTE, false, true},
    {"Volume Down", false, KEY_VOLUME_DOWN, false, true},
    {"Volume Up", false, KEY_VOLUME_UP, false, true},
    {"Browser Home (below Mute)", false, 0xAC, false, false},
    {"Next Track (above Up)", false, 0xB0, false, false},
    // Every key while Ctrl is down: Ctrl+Esc, Ctrl+Shift+Esc, Ctrl+letter.
    {"Ctrl+Esc", true, KEY_ESC, false, true},
    {"Ctrl+Shift (Shift)", true, KEY_SHIFT, false, true},
    {"Ctrl+Shift+Esc (left Shift)", true, KEY_LEFT_SHIFT, false, true},
    {"Ctrl+A", true, 'A', false, true},
    {"Ctrl+Enter", true, KEY_ENTER, false, true},
    {"Ctrl+Tab", true, KEY_TAB, false, true},
    {"Ctrl+Delete", true, KEY_DELETE, false, true},
    // The Ctrl keys' own events always pass, or Ctrl would stay down.
    {"Ctrl generic, Ctrl down", true, KEY_CONTROL, false, false},
    {"left Ctrl, Ctrl down", true, KEY_LEFT_CONTROL, false, false},
    {"right Ctrl, Ctrl down", true, KEY_RIGHT_CONTROL, false, false},
    {"left Ctrl, Ctrl up", false, KEY_LEFT_CONTROL, false, false},
    {"right Ctrl, Ctrl up", false, KEY_RIGHT_CONTROL, false, false},
    {"left Ctrl with Alt flag", false, KEY_LEFT_CONTROL, true, false},
    // Alt combinations by the flag: Alt+F4, Alt+Tab, Alt+Esc.
    {"Alt+F4", false, KEY_F4, true, true},
    {"Alt+Tab", false, KEY_TAB, true, true},
    {"Alt+Esc", false, KEY_ESC, true, true},
    {"Alt+letter", false, 'A', true, true},
    {"Ctrl+Alt+Delete (Delete)", true, KEY_DELETE, true, true},
    // Alt's own events by key code, flagged or not.
    {"Alt generic unflagged", false, KEY_MENU, false, true},
    {"left Alt unflagged", false, KEY_LEFT_MENU, false, true},
    {"right Alt unflagged", false, KEY_RIGHT_MENU, false, true},
    {"left Alt flagged", false, KEY_LEFT_MENU, true, true},
    {"right Alt with Ctrl", true, KEY_RIGHT_MENU, false, true},
};

class SwallowTest : public testing::TestWithParam<KeyCase> {};

TEST_P(SwallowTest, DecidesLikeTheTable)
{
    const KeyCase& c = GetParam();
    // Key-down and key-up are decided alike: the decision has no event kind.
    EXPECT_EQ(ShouldSwallowKey(c.ctrlDown, c.keyCode, c.altFlag), c.swallowed) << c.name;
}

std::string CaseName(const testing::TestParamInfo<KeyCase>& info)
{
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Keys, SwallowTest, testing::ValuesIn(KEY_CASES), CaseName);

TEST(SwallowTest, NoOrdinaryKeyPassesWhileCtrlIsDown)
{
    for (uint32_t code = 1; code < 0x100; ++code) {
        const bool ctrlKey = code == KEY_CONTROL || code == KEY_LEFT_CONTROL || code == KEY_RIGHT_CONTROL;
        EXPECT_EQ(ShouldSwallowKey(true, code, false), !ctrlKey) << code;
        EXPECT_EQ(ShouldSwallowKey(false, code, true), !ctrlKey) << code;
    }
}

TEST(SwallowTest, CtrlPressedAndReleasedLeavesTypingFree)
{
    // The hook sees Ctrl's down while Ctrl is still up and its up while Ctrl
    // still counts as down; both pass, so the system's Ctrl state ends up.
    EXPECT_FALSE(ShouldSwallowKey(false, KEY_LEFT_CONTROL, false));  // down
    EXPECT_FALSE(ShouldSwallowKey(true, KEY_LEFT_CONTROL, false));   // up
    EXPECT_FALSE(ShouldSwallowKey(false, 'P', false));
}

// The accumulator.

int Steps(MotionState& state, int32_t sensitivity, const std::initializer_list<std::pair<int32_t, int32_t>>& path)
{
    int alarms = 0;
    for (const auto& [x, y] : path)
        alarms += StepMotion(state, x, y, sensitivity) ? 1 : 0;
    return alarms;
}

TEST(MotionTest, ExactlyTheSensitivityRaisesNothingAndTheNextPixelDoes)
{
    MotionState state;
    ResetMotion(state, 100, 100);
    int alarms = 0;
    for (int32_t x = 101; x <= 150; ++x)
        alarms += StepMotion(state, x, 100, 50) ? 1 : 0;
    EXPECT_EQ(alarms, 0);
    EXPECT_EQ(state.distance, 50);
    EXPECT_TRUE(StepMotion(state, 151, 100, 50));
}

TEST(MotionTest, OneLongMoveOfExactlyTheSensitivityRaisesNothing)
{
    MotionState state;
    ResetMotion(state, 0, 0);
    EXPECT_FALSE(StepMotion(state, 30, 40, 50));  // 3-4-5 scaled: 50
    EXPECT_EQ(state.distance, 50);
    EXPECT_TRUE(StepMotion(state, 30, 41, 50));
}

TEST(MotionTest, DiagonalOnePixelStepsCountOneEach)
{
    MotionState state;
    ResetMotion(state, 0, 0);
    for (int32_t i = 1; i <= 50; ++i)
        ASSERT_FALSE(StepMotion(state, i, i, 50)) << i;
    EXPECT_EQ(state.distance, 50);  // not 70, as sqrt(2) per step would give
    EXPECT_TRUE(StepMotion(state, 51, 51, 50));
}

TEST(MotionTest, ThreeRightFourDownAddsFive)
{
    MotionState state;
    ResetMotion(state, 10, 10);
    EXPECT_FALSE(StepMotion(state, 13, 14, 50));
    EXPECT_EQ(state.distance, 5);
    EXPECT_EQ(state.lastX, 13);
    EXPECT_EQ(state.lastY, 14);
}

TEST(MotionTest, FractionsOfEachStepAreDropped)
{
    MotionState state;
    ResetMotion(state, 0, 0);
    StepMotion(state, 1, 2, 1000);  // sqrt(5) = 2.23
    StepMotion(state, 2, 4, 1000);
    EXPECT_EQ(state.distance, 4);
}

TEST(MotionTest, EventsWithoutMotionAddNothing)
{
    // Clicks and wheel turns report the unchanged cursor position.
    MotionState state;
    ResetMotion(state, 640, 400);
    for (int i = 0; i < 1000; ++i)
        ASSERT_FALSE(StepMotion(state, 640, 400, 0));
    EXPECT_EQ(state.distance, 0);
}

TEST(MotionTest, SensitivityZeroRaisesOnTheFirstPixel)
{
    MotionState state;
    ResetMotion(state, 5, 5);
    EXPECT_FALSE(StepMotion(state, 5, 5, 0));
    EXPECT_TRUE(StepMotion(state, 5, 6, 0));
}

TEST(MotionTest, NegativeSensitivityRaisesOnAnyEvent)
{
    // A stored sensitivity below zero: 0 > -1 already.
    MotionState state;
    ResetMotion(state, 5, 5);
    EXPECT_TRUE(StepMotion(state, 5, 5, -1));
}

TEST(MotionTest, SumStartsAgainAfterATrigger)
{
    MotionState state;
    ResetMotion(state, 0, 0);
    EXPECT_TRUE(StepMotion(state, 0, 51, 50));
    EXPECT_EQ(state.distance, 0);
    EXPECT_EQ(state.lastY, 51);
    // From the new position: another 50 raises nothing, one more raises again.
    EXPECT_EQ(Steps(state, 50, {{0, 71}, {0, 101}}), 0);
    EXPECT_EQ(state.distance, 50);
    EXPECT_EQ(Steps(state, 50, {{0, 102}}), 1);
}

TEST(MotionTest, ResetDropsTheSumAndMovesTheStart)
{
    MotionState state;
    ResetMotion(state, 0, 0);
    StepMotion(state, 0, 40, 50);
    ResetMotion(state, 500, 500);
    EXPECT_EQ(state.distance, 0);
    EXPECT_FALSE(StepMotion(state, 500, 550, 50));  // 50 from the new start
}

TEST(MotionTest, HugeJumpsDoNotOverflow)
{
    // A 32-bit square would wrap for jumps beyond 46341 pixels.
    constexpr int32_t lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t hi = std::numeric_limits<int32_t>::max();
    MotionState state;
    ResetMotion(state, 0, 0);
    EXPECT_FALSE(StepMotion(state, 46341, 0, 1000000));
    EXPECT_EQ(state.distance, 46341);
    EXPECT_FALSE(StepMotion(state, 46341, 100000, 1000000));
    EXPECT_EQ(state.distance, 46341 + 100000);
    // Corner to corner: 32-bit differences would wrap to -1 each.
    ResetMotion(state, lo, lo);
    EXPECT_TRUE(StepMotion(state, hi, hi, hi));
    ResetMotion(state, hi, 0);
    EXPECT_TRUE(StepMotion(state, lo, 0, hi - 1));
    ResetMotion(state, lo, lo);
    EXPECT_FALSE(StepMotion(state, lo + 3, lo + 4, hi));
    EXPECT_EQ(state.distance, 5);
}

}  // namespace
