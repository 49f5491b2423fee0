// The settings dialog's drag measurement and what its OK stores.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "settings/settings.h"
#include "app/hot_key.h"
#include "app/settings_dialog_rules.h"

namespace {

ScreenPoint At(int32_t x, int32_t y)
{
    ScreenPoint point;
    point.x = x;
    point.y = y;
    return point;
}

// The frame as GetWindowRect reports it.
const ScreenRect FRAME = {100, 200, 140, 250};

TEST(DragDistance, StraightLineTruncatedAndClamped)
{
    constexpr int32_t low = std::numeric_limits<int32_t>::min();
    constexpr int32_t high = std::numeric_limits<int32_t>::max();
    const struct {
        const char* name;
        int32_t fromX, fromY, toX, toY;
        int32_t distance;
    } cases[] = {
        {"back at the start", 321, 654, 321, 654, 0},
        {"back at a negative start", -5, -9, -5, -9, 0},
        {"three right four down", 110, 210, 113, 214, 5},
        {"three left four up: direction does not matter", 110, 210, 107, 206, 5},
        {"14.14 truncated", 0, 0, 10, 10, 14},
        {"1.41 truncated", 0, 0, 1, 1, 1},
        {"3.61 truncated, not rounded to 4", 0, 0, 2, 3, 3},
        {"an exact square stays exact", 0, 0, 6, 8, 10},
        // 50000 squared is already past 32 bits.
        {"a large jump", 0, 0, 50000, 0, 50000},
        {"a large jump across the origin", -40000, -30000, 40000, 30000, 100000},
        {"92680.49 from the largest screen's corner", 0, 0, 65535, 65535, 92680},
        {"points past any screen are clamped", low, 0, high, 0, 131072},
        {"a point past the left edge is clamped", 0, 0, -70000, 0, 65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DragDistance(At(c.fromX, c.fromY), At(c.toX, c.toY)), c.distance);
    }
}

TEST(DragFrame, OnlyAClickStrictlyInsideStartsADrag)
{
    const struct {
        const char* name;
        ScreenPoint click;
        bool inside;
    } cases[] = {
        {"top left inside", At(101, 201), true},   {"bottom right inside", At(139, 249), true},
        {"left edge", At(100, 220), false},        {"top edge", At(120, 200), false},
        {"right edge", At(140, 220), false},       {"bottom edge", At(120, 250), false},
        {"left of the frame", At(50, 220), false}, {"below the frame", At(120, 500), false},
    };
    for (const auto& c : cases) {
        DragState state;
        EXPECT_EQ(BeginDrag(state, c.click, FRAME), c.inside) << c.name;
        EXPECT_EQ(state.dragging, c.inside) << c.name;
    }
}

TEST(DragFrame, ClickPositionIsTwoUnsignedWords)
{
    ScreenPoint point = ClientPointFromMessage(0x00C80064u);
    EXPECT_EQ(point.x, 100);
    EXPECT_EQ(point.y, 200);
    point = ClientPointFromMessage(0xFFFFFFFEu);
    EXPECT_EQ(point.x, 65534);
    EXPECT_EQ(point.y, 65535);
}

TEST(DragState, ClickOnAnEdgeOrOutsideStartsNothingButRecordsTheStart)
{
    for (ScreenPoint click : {At(100, 220), At(120, 200), At(10, 10), At(140, 249)}) {
        DragState state;
        EXPECT_FALSE(BeginDrag(state, click, FRAME));
        EXPECT_FALSE(state.dragging);
        EXPECT_EQ(state.start.x, click.x);
        EXPECT_EQ(state.start.y, click.y);
        EXPECT_FALSE(DragMove(state, true, At(click.x + 30, click.y + 40)).has_value())
            << "moves without a drag show nothing";
        EXPECT_EQ(state.sample.x, 0);
        EXPECT_FALSE(EndDrag(state));
    }
}

TEST(DragState, ADragShowsTheDistanceToTheCursorNow)
{
    DragState state;
    state.sample = At(900, 900);  // left over from an earlier drag
    ASSERT_TRUE(BeginDrag(state, At(110, 210), FRAME));
    EXPECT_TRUE(state.dragging);

    std::optional<int64_t> shown = DragMove(state, true, At(113, 214));
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, 5) << "the first move uses its own sample, not the old one";
    shown = DragMove(state, true, At(120, 220));
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, 14);
    shown = DragMove(state, true, At(110, 210));
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, 0);

    EXPECT_FALSE(DragMove(state, false, At(200, 300)).has_value()) << "button no longer down";
    EXPECT_EQ(state.sample.x, 110);

    EXPECT_TRUE(EndDrag(state));
    EXPECT_FALSE(state.dragging);
    EXPECT_FALSE(EndDrag(state)) << "a second button-up ends nothing";
    EXPECT_FALSE(DragMove(state, true, At(200, 300)).has_value());
    EXPECT_EQ(state.start.x, 110) << "the state survives the drag";
}

class SettingsDialogOk : public testing::Test {
protected:
    SettingsDialogEntries Typed(const std::string& sensitivity) const
    {
        SettingsDialogEntries entries = EntriesFromSettings(settings);
        entries.sensitivityText = sensitivity;
        return entries;
    }

    Settings settings;  // the defaults
};

TEST_F(SettingsDialogOk, InitialisationShowsTheRecord)
{
    settings.sensitivity = -123;
    settings.SetPassword(u"geheim");
    settings.SetServerUser("owner@example.org");
    settings.SetServerPass("s3cret");
    settings.flags = FLAG_SMS_SERVICE;

    SettingsDialogEntries shown = EntriesFromSettings(settings);
    EXPECT_EQ(shown.sensitivityText, "-123");
    EXPECT_FALSE(shown.dailyUpdateCheck);
    EXPECT_TRUE(shown.useSmsService);
    EXPECT_EQ(shown.password, u"geheim");
    EXPECT_EQ(shown.serverUser, "owner@example.org");
    EXPECT_EQ(shown.serverPass, "s3cret");

    settings.flags = FLAG_DAILY_UPDATE_CHECK;
    shown = EntriesFromSettings(settings);
    EXPECT_TRUE(shown.dailyUpdateCheck);
    EXPECT_FALSE(shown.useSmsService);
}

// atoi on the first 9 characters, without a range check.
TEST_F(SettingsDialogOk, StoresTheParsedSensitivityWithoutRangeCheck)
{
    const struct {
        const char* typed;
        int32_t stored;
    } cases[] = {
        {" -7x", -7}, {"letters", 0}, {"250", 250}, {"123456789", 123456789}, {"1234567890123", 123456789},
        {"-9999999999", -99999999}, {"        12", 1}, {"         12", 0},  // eight spaces leave one digit
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(StoreSettingsDialogEntries(settings, Typed(c.typed)));
        EXPECT_EQ(settings.sensitivity, c.stored) << '"' << c.typed << '"';
    }
}

TEST_F(SettingsDialogOk, PasswordKeepsNineUnits)
{
    SettingsDialogEntries entries = EntriesFromSettings(settings);
    entries.password = u"abcdefghijkl";
    (void)StoreSettingsDialogEntries(settings, entries);
    EXPECT_EQ(settings.GetPassword(), u"abcdefghi");
    EXPECT_EQ(settings.password[9], u'\0');

    entries.password = u"密码";
    (void)StoreSettingsDialogEntries(settings, entries);
    EXPECT_EQ(settings.GetPassword(), u"密码");
    EXPECT_EQ(settings.password[2], u'\0') << "the old tail does not survive";

    entries.password.clear();
    (void)StoreSettingsDialogEntries(settings, entries);
    EXPECT_EQ(settings.GetPassword(), u"") << "an empty password is accepted";
}

TEST_F(SettingsDialogOk, AccountTextsKeepNinetyNineBytes)
{
    SettingsDialogEntries entries = EntriesFromSettings(settings);
    entries.serverUser = std::string(120, 'u');
    entries.serverPass = std::string(99, 'p') + "!";
    (void)StoreSettingsDialogEntries(settings, entries);
    EXPECT_EQ(settings.GetServerUser(), std::string(99, 'u'));
    EXPECT_EQ(settings.GetServerPass(), std::string(99, 'p'));
}

TEST_F(SettingsDialogOk, FlagsAreSetAndClearedAndNothingElseMoves)
{
    const uint32_t others = FLAG_TRIGGER_POWER | FLAG_TRIGGER_MOUSE_MOVE | FLAG_RESERVED_200 | 0x80000000u;
    settings.flags = others;
    SettingsDialogEntries entries = EntriesFromSettings(settings);
    entries.dailyUpdateCheck = true;
    entries.useSmsService = true;
    EXPECT_TRUE(StoreSettingsDialogEntries(settings, entries)) << "the account check must start";
    EXPECT_EQ(settings.flags, others | FLAG_DAILY_UPDATE_CHECK | FLAG_SMS_SERVICE);

    entries.dailyUpdateCheck = false;
    EXPECT_TRUE(StoreSettingsDialogEntries(settings, entries));
    EXPECT_EQ(settings.flags, others | FLAG_SMS_SERVICE);

    entries.useSmsService = false;
    EXPECT_FALSE(StoreSettingsDialogEntries(settings, entries)) << "no service, no account check";
    EXPECT_EQ(settings.flags, others);
}

// The control's bits are not the stored ones; the Windows key it cannot
// show survives while the control holds what it was given.
TEST_F(SettingsDialogOk, HotKeyBitsConvertBothWays)
{
    const struct {
        StoredHotKey before;
        uint16_t shown;  // the control's word at initialisation
        uint16_t typed;  // and at OK
        StoredHotKey stored;
    } cases[] = {
        {{3, 0x67}, 0x0667, 0x0667, {3, 0x67}},        // Ctrl+Alt+Num 7 untouched
        {{3, 0x67}, 0x0667, 0x0541, {5, 0x41}},        // Shift+Alt+A typed
        {{11, 0x67}, 0x0667, 0x0667, {11, 0x67}},      // Win+Ctrl+Alt+Num 7 kept while unchanged
        {{11, 0x67}, 0x0667, 0x0267, {2, 0x67}},       // changed: the Windows key goes
        {{2, 0x26}, 0x0A26, 0x0A26, {2, 0x26}},        // Ctrl+Up: the extended bit shown
        {{2, 0x26}, 0x0A26, 0x0E28, {3, 0x28}},        // Ctrl+Alt+Down typed: extended bit dropped
        {{3, 0x67}, 0x0667, 0x0000, {0, 0}},           // cleared: no hot key
        {{0, 0}, 0x0000, 0x0000, {0, 0}},
    };
    for (const auto& c : cases) {
        settings.hotKeyModifiers = c.before.modifiers;
        settings.hotKeyCode = c.before.code;
        SettingsDialogEntries entries = EntriesFromSettings(settings);
        EXPECT_EQ(entries.hotKey, c.shown) << std::hex << c.typed;
        entries.hotKey = c.typed;
        (void)StoreSettingsDialogEntries(settings, entries);
        EXPECT_EQ(settings.hotKeyModifiers, c.stored.modifiers) << std::hex << c.typed;
        EXPECT_EQ(settings.hotKeyCode, c.stored.code) << std::hex << c.typed;
    }
}

TEST(HotKeyName, AsTheLogNamesIt)
{
    const struct {
        StoredHotKey key;
        const char* name;
    } cases[] = {
        {{3, 0x67}, "Ctrl+Alt+Num 7"}, {{15, 0x4C}, "Ctrl+Alt+Shift+Win+L"}, {{4, 0x7B}, "Shift+F12"},
        {{2, 0x26}, "Ctrl+Up"}, {{1, 0x6B}, "Alt+Num +"}, {{2, 0x30}, "Ctrl+0"}, {{0, 0xBA}, "key 0xBA"},
        {{3, 0x87}, "Ctrl+Alt+F24"}, {{3, 0x6F}, "Ctrl+Alt+Num /"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HotKeyName(c.key), c.name);
}

}  // namespace
