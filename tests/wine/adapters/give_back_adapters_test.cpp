// The power and accessibility stores over the real system (under Wine the
// powrprof the tests put in the system folder: Wine's own lacks the power
// scheme functions): arming switches off what it can, and unlock leaves both
// as they were.
#include <gtest/gtest.h>

#include "guard/give_back_win32.h"
#include "guard/give_back.h"
#include "settings/registry_store_win32.h"
#include "tests/unit/fake_give_back.h"

namespace {

TEST(GiveBackAdapters, ArmingThenUnlockLeavesThePowerActionsAndHotKeysAsTheyWere)
{
    const std::unique_ptr<PowerStore> store = CreatePowrprofPowerStore();
    PowerStore& power = *store;
    const PowerActionsRecord before = ReadPowerActions(power);
    for (size_t button = 0; button < HELD_POWER_SETTING_COUNT; ++button)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source)
            ASSERT_TRUE(before.actions[button][source].saved) << button << source;
    const ShortcutsCleared hotKeysBefore = ShortcutHotKeysOn();

    const wchar_t* const path = L"Software\\Kestrova Tests\\GiveBack";
    OpenedKey key = OpenRegistryKey(HKEY_CURRENT_USER, path);
    GiveBackKeeper keeper(key.key.get(), power);
    ASSERT_TRUE(keeper.Arm(hotKeysBefore));
    SetShortcutHotKeys(hotKeysBefore, false);
    EXPECT_EQ(ShortcutHotKeysOn(), ShortcutsCleared{});
    const PowerActionsRecord armed = ReadPowerActions(power);
    for (size_t button = 0; button < HELD_POWER_SETTING_COUNT; ++button)
        for (size_t source = 0; source < POWER_SOURCE_COUNT; ++source)
            EXPECT_EQ(armed.actions[button][source].value, POWER_ACTION_DO_NOTHING) << button << source;
    SetShortcutHotKeys(keeper.ClearedShortcuts(), true);
    keeper.Unlock();
    RegDeleteTreeW(HKEY_CURRENT_USER, path);

    EXPECT_EQ(ShortcutHotKeysOn(), hotKeysBefore);
    const PowerActionsRecord after = ReadPowerActions(power);
    EXPECT_EQ(after.scheme, before.scheme);
    EXPECT_EQ(after.actions, before.actions);
}

}  // namespace
