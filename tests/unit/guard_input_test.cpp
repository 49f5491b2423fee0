// The keyboard filter's swallow test and the mouse-motion accumulator.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

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

struct Move {
    int32_t x, y;
    bool reset = false;  // ResetMotion here instead of a step
};
using Path = std::vector<Move>;

// Count steps from (x, y), each by (dx, dy), (x, y) itself not among them.
Path Line(int32_t x, int32_t y, int32_t dx, int32_t dy, int count)
{
    Path path;
    for (int i = 1; i <= count; ++i)
        path.push_back({x + i * dx, y + i * dy});
    return path;
}

TEST(MotionTest, SumsWholePixelsAndRaisesStrictlyPastTheSensitivity)
{
    constexpr int32_t lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t hi = std::numeric_limits<int32_t>::max();
    const std::string fifty(50, '.');
    const struct {
        const char* name;
        int32_t startX, startY;
        int32_t sensitivity;
        Path path;
        std::string raises;  // one mark per move: '!' raises the alarm, '.' does not, 'r' a reset
        int64_t distance;    // the sum after the last move
    } cases[] = {
        {"exactly the sensitivity, a pixel at a time", 100, 100, 50, Line(100, 100, 1, 0, 50), fifty, 50},
        {"and the next pixel", 100, 100, 50, Line(100, 100, 1, 0, 51), fifty + "!", 0},
        {"one long move of exactly the sensitivity (3-4-5 scaled)", 0, 0, 50, {{30, 40}}, ".", 50},
        {"and one pixel more", 0, 0, 50, {{30, 40}, {30, 41}}, ".!", 0},
        {"diagonal one-pixel steps count one each, not sqrt(2)", 0, 0, 50, Line(0, 0, 1, 1, 50), fifty, 50},
        {"and the next diagonal step", 0, 0, 50, Line(0, 0, 1, 1, 51), fifty + "!", 0},
        {"three right four down adds five", 10, 10, 50, {{13, 14}}, ".", 5},
        {"each step's fraction is dropped (sqrt(5) = 2.23)", 0, 0, 1000, {{1, 2}, {2, 4}}, "..", 4},
        // Clicks and wheel turns report the unchanged cursor position.
        {"events without motion add nothing", 640, 400, 0, Line(640, 400, 0, 0, 1000), std::string(1000, '.'), 0},
        {"sensitivity zero raises on the first pixel", 5, 5, 0, {{5, 5}, {5, 6}}, ".!", 0},
        // A stored sensitivity below zero: 0 > -1 already.
        {"negative sensitivity raises on any event", 5, 5, -1, {{5, 5}}, "!", 0},
        {"the sum starts again from the trigger's position", 0, 0, 50, {{0, 51}, {0, 71}, {0, 101}}, "!..", 50},
        {"and raises again past the sensitivity", 0, 0, 50, {{0, 51}, {0, 71}, {0, 101}, {0, 102}}, "!..!", 0},
        {"a reset drops the sum and moves the start", 0, 0, 50, {{0, 40}, {500, 500, true}, {500, 550}}, ".r.", 50},
        // A 32-bit square would wrap for jumps beyond 46341 pixels.
        {"a jump past a 32-bit square", 0, 0, 1000000, {{46341, 0}}, ".", 46341},
        {"and a longer one after it", 0, 0, 1000000, {{46341, 0}, {46341, 100000}}, "..", 46341 + 100000},
        // 32-bit differences would wrap to -1 each.
        {"corner to corner", lo, lo, hi, {{hi, hi}}, "!", 0},
        {"across the whole width", hi, 0, hi - 1, {{lo, 0}}, "!", 0},
        {"a small step at the lowest corner", lo, lo, hi, {{lo + 3, lo + 4}}, ".", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.path.size(), c.raises.size());
        MotionState state;
        ResetMotion(state, c.startX, c.startY);
        std::string raised;
        for (const Move& move : c.path) {
            if (move.reset) {
                ResetMotion(state, move.x, move.y);
                EXPECT_EQ(state.distance, 0);
                raised += 'r';
            } else {
                raised += StepMotion(state, move.x, move.y, c.sensitivity) ? '!' : '.';
            }
        }
        EXPECT_EQ(raised, c.raises);
        EXPECT_EQ(state.distance, c.distance);
        // The last position is the last event's, whether it raised or not.
        EXPECT_EQ(state.lastX, c.path.back().x);
        EXPECT_EQ(state.lastY, c.path.back().y);
    }
}

}  // namespace
