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

// The first notice after registering reports the state the lid is in.
struct LidCase {
    const char* name;
    bool lidStateKnown;
    uint32_t triggers;
    bool hasValue;
    uint32_t lid;
    uint32_t actions;
};

const LidCase LID_CASES[] = {
    {"first notice, closed", false, FLAG_TRIGGER_SHUTDOWN, true, GUARD_LID_CLOSED, GUARD_ACTION_LID_STATE_KNOWN},
    {"closed", true, FLAG_TRIGGER_SHUTDOWN, true, GUARD_LID_CLOSED, GUARD_ACTION_START_ALARM},
    {"closed without the trigger", true, FLAG_TRIGGER_POWER | FLAG_TRIGGER_MOUSE_MOVE, true, GUARD_LID_CLOSED, 0},
    {"opened", true, FLAG_TRIGGER_SHUTDOWN, true, 1, 0},
    {"no data", true, FLAG_TRIGGER_SHUTDOWN, false, GUARD_LID_CLOSED, 0},
};

TEST(GuardSleepFilter, LidNoticesAfterTheFirstSoundOnClosingWithTheTrigger)
{
    for (const LidCase& c : LID_CASES) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        platform.powerSetting = {LIDSWITCH_STATE_CHANGE, c.hasValue, c.lid};
        const GuardDecision decision = PowerBroadcast(GUARD_PBT_POWERSETTINGCHANGE, Armed(c.triggers, c.lidStateKnown), platform);
        EXPECT_TRUE(decision.handled);
        EXPECT_FALSE(decision.setsResult);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_EQ(platform.acAsked, 0);
    }
}

struct SourceCase {
    const char* name;
    std::array<uint8_t, 16> setting;
    uint32_t triggers;
    uint8_t acLineNow;
    uint32_t actions;
    int acAsked;
};

const SourceCase SOURCE_CASES[] = {
    {"unplugged", ACDC_POWER_SOURCE, FLAG_TRIGGER_POWER, 0, GUARD_ACTION_START_ALARM, 1},
    {"unchanged (the first notice)", ACDC_POWER_SOURCE, FLAG_TRIGGER_POWER, 1, 0, 1},
    {"unplugged without the trigger", ACDC_POWER_SOURCE, FLAG_TRIGGER_SHUTDOWN, 0, 0, 1},
    {"another setting", HID_INTERFACE_CLASS, FLAG_TRIGGER_POWER | FLAG_TRIGGER_SHUTDOWN, 0, 0, 0},
};

TEST(GuardSleepFilter, APowerSourceNoticeGoesThroughTheLineStatusTest)
{
    for (const SourceCase& c : SOURCE_CASES) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        platform.acLine = c.acLineNow;
        platform.powerSetting = {c.setting, true, 1};
        const GuardDecision decision = PowerBroadcast(GUARD_PBT_POWERSETTINGCHANGE, Armed(c.triggers, true, 1), platform);
        EXPECT_TRUE(decision.handled);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_EQ(platform.acAsked, c.acAsked);
    }
}

}  // namespace
