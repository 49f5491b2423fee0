// The armed guard's sleep rows: a suspend that happens anyway, the resume
// from it, the lid switch and the power source, each sounding only with its
// trigger.
#include <gtest/gtest.h>

#include "fake_guard_platform.h"
#include "guard/guard_filter.h"

namespace {

GuardState Armed(uint32_t triggers, bool lidStateKnown = true, uint8_t ac = 1)
{
    GuardState state{FLAG_ARMED | triggers, false, ac};
    state.lidStateKnown = lidStateKnown;
    return state;
}

GuardDecision PowerBroadcast(uintptr_t event, const GuardState& state, FakeGuardPlatform& platform)
{
    return FilterGuardMessage({GUARD_WM_POWERBROADCAST, event}, state, platform);
}

TEST(GuardSleepFilter, SuspendAndResumeSoundOnlyWithTheShutdownTrigger)
{
    const uint32_t others = FLAG_TRIGGER_POWER | FLAG_TRIGGER_USB_MOUSE | FLAG_TRIGGER_MOUSE_MOVE;
    for (uintptr_t event : {GUARD_PBT_APMSUSPEND, GUARD_PBT_APMRESUMESUSPEND, GUARD_PBT_APMRESUMEAUTOMATIC}) {
        for (uint32_t triggers : {FLAG_TRIGGER_SHUTDOWN, others, 0u}) {
            FakeGuardPlatform platform;
            platform.acLine = 0;  // would sound if the power row were asked
            const GuardDecision decision = PowerBroadcast(event, Armed(triggers), platform);
            EXPECT_TRUE(decision.handled) << event;
            EXPECT_FALSE(decision.setsResult) << event;
            EXPECT_EQ(decision.actions, triggers == FLAG_TRIGGER_SHUTDOWN ? GUARD_ACTION_START_ALARM : 0u)
                << event << " " << triggers;
            EXPECT_EQ(platform.Asked(), 0);
        }
    }
}

// A power setting notice: the lid switch sounds on closing with the shutdown
// trigger (the first notice after registering only reports the state the
// lid is in); the power source goes through the line status test.
struct SettingCase {
    const char* name;
    std::array<uint8_t, 16> setting;
    bool hasValue;
    uint32_t value;
    bool lidStateKnown;
    uint8_t acLineNow;  // 0 would sound if the power row were asked
    uint32_t triggers;
    uint32_t actions;
    int acAsked;
};

const SettingCase SETTING_CASES[] = {
    {"lid, first notice, closed", LIDSWITCH_STATE_CHANGE, true, GUARD_LID_CLOSED, false, 0, FLAG_TRIGGER_SHUTDOWN,
     GUARD_ACTION_LID_STATE_KNOWN, 0},
    {"lid closed", LIDSWITCH_STATE_CHANGE, true, GUARD_LID_CLOSED, true, 0, FLAG_TRIGGER_SHUTDOWN,
     GUARD_ACTION_START_ALARM, 0},
    {"lid closed without the trigger", LIDSWITCH_STATE_CHANGE, true, GUARD_LID_CLOSED, true, 0,
     FLAG_TRIGGER_POWER | FLAG_TRIGGER_MOUSE_MOVE, 0, 0},
    {"lid opened", LIDSWITCH_STATE_CHANGE, true, 1, true, 0, FLAG_TRIGGER_SHUTDOWN, 0, 0},
    {"lid, no data", LIDSWITCH_STATE_CHANGE, false, GUARD_LID_CLOSED, true, 0, FLAG_TRIGGER_SHUTDOWN, 0, 0},
    {"unplugged", ACDC_POWER_SOURCE, true, 1, true, 0, FLAG_TRIGGER_POWER, GUARD_ACTION_START_ALARM, 1},
    {"unchanged (the first notice)", ACDC_POWER_SOURCE, true, 1, true, 1, FLAG_TRIGGER_POWER, 0, 1},
    {"unplugged without the trigger", ACDC_POWER_SOURCE, true, 1, true, 0, FLAG_TRIGGER_SHUTDOWN, 0, 1},
    {"another setting", HID_INTERFACE_CLASS, true, 1, true, 0, FLAG_TRIGGER_POWER | FLAG_TRIGGER_SHUTDOWN, 0, 0},
};

TEST(GuardSleepFilter, APowerSettingNoticeSoundsOnlyForItsTriggersChange)
{
    for (const SettingCase& c : SETTING_CASES) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        platform.acLine = c.acLineNow;
        platform.powerSetting = {c.setting, c.hasValue, c.value};
        const GuardDecision decision =
            PowerBroadcast(GUARD_PBT_POWERSETTINGCHANGE, Armed(c.triggers, c.lidStateKnown, 1), platform);
        EXPECT_TRUE(decision.handled);
        EXPECT_FALSE(decision.setsResult);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_EQ(platform.acAsked, c.acAsked);
    }
}

}  // namespace
