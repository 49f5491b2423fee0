// The armed guard's message filter: every row (sleep, lid and power source
// included), nothing while disarmed, and the platform asked only by the row
// that needs it.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fake_guard_platform.h"
#include "guard/guard_events.h"
#include "guard/guard_filter.h"

namespace {

constexpr uint32_t ALL_TRIGGERS =
    FLAG_TRIGGER_POWER | FLAG_TRIGGER_USB_MOUSE | FLAG_TRIGGER_SHUTDOWN | FLAG_TRIGGER_MOUSE_MOVE;

GuardState Armed(uint32_t triggers, bool siren = false, uint8_t ac = 1)
{
    return GuardState{FLAG_ARMED | triggers, siren, ac};
}

DeviceNotice HidNotice()
{
    DeviceNotice notice;
    notice.deviceType = GUARD_DBT_DEVTYP_DEVICEINTERFACE;
    notice.classGuid = HID_INTERFACE_CLASS;
    return notice;
}

void ExpectNothing(const GuardDecision& decision)
{
    EXPECT_EQ(decision.actions, 0u);
    EXPECT_FALSE(decision.handled);
    EXPECT_FALSE(decision.setsResult);
}

// A session end is refused while armed; with the shutdown trigger it also
// sounds. The platform is not asked.
TEST(GuardFilter, QueryEndSessionIsRefusedAndSoundsWithTheTrigger)
{
    const struct {
        const char* name;
        uint32_t triggers;
        uint32_t actions;
    } cases[] = {
        {"without the trigger", ALL_TRIGGERS & ~FLAG_TRIGGER_SHUTDOWN, 0},
        {"with the trigger", FLAG_TRIGGER_SHUTDOWN, GUARD_ACTION_START_ALARM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        const GuardDecision decision = FilterGuardMessage({GUARD_WM_QUERYENDSESSION, 0}, Armed(c.triggers), platform);
        EXPECT_TRUE(decision.handled);
        EXPECT_TRUE(decision.setsResult);
        EXPECT_EQ(decision.result, 0);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_EQ(platform.Asked(), 0);
    }
}

// Each tick asks which desktop has the input, whatever the triggers and
// whichever timer it is.
struct DesktopCase {
    const char* name;
    InputDesktop answer;
    bool guardSeen;
    uint32_t actions;
};

const DesktopCase DESKTOP_CASES[] = {
    {"secure desktop before the guard was seen", InputDesktop::Unreachable, false, GUARD_ACTION_START_ALARM},
    {"secure desktop", InputDesktop::Unreachable, true, GUARD_ACTION_START_ALARM},
    {"guard seen for the first time", InputDesktop::Guard, false, GUARD_ACTION_GUARD_DESKTOP_SEEN},
    {"guard again", InputDesktop::Guard, true, 0},
    {"another desktop after the guard was seen", InputDesktop::Other, true,
     GUARD_ACTION_START_ALARM | GUARD_ACTION_SWITCH_TO_GUARD},
    // Wine names its one input desktop "Default" whatever was switched to.
    {"another desktop before the guard was seen", InputDesktop::Other, false, 0},
};

TEST(GuardFilter, TimerAndDesktopSwitchEventActOnWhichDesktopHasTheInput)
{
    const GuardMessage messages[] = {{GUARD_WM_TIMER, 1025}, {GUARD_WM_TIMER, 7}, {GUARD_MESSAGE_DESKTOP_SWITCHED, 0}};
    for (const DesktopCase& c : DESKTOP_CASES) {
        for (const GuardMessage& message : messages) {
            SCOPED_TRACE(c.name);
            FakeGuardPlatform platform;
            platform.inputDesktop = c.answer;
            GuardState state = Armed(0);
            state.guardDesktopSeen = c.guardSeen;
            const GuardDecision decision = FilterGuardMessage(message, state, platform);
            EXPECT_EQ(decision.actions, c.actions);
            EXPECT_FALSE(decision.handled);
            EXPECT_FALSE(decision.setsResult);
            EXPECT_EQ(platform.Asked(), 1);
        }
    }
}

TEST(GuardFilter, InputDesktopIsTheGuardsOnlyByName)
{
    EXPECT_EQ(ClassifyInputDesktop(false, u"Kestrova"), InputDesktop::Unreachable);
    EXPECT_EQ(ClassifyInputDesktop(true, u"Kestrova"), InputDesktop::Guard);
    EXPECT_EQ(ClassifyInputDesktop(true, u"KESTROVA"), InputDesktop::Guard);
    for (const char16_t* other : {u"Default", u"", u"Kestrov", u"Kestrova2", u"Winlogon"})
        EXPECT_EQ(ClassifyInputDesktop(true, other), InputDesktop::Other);
}

TEST(GuardFilter, ScreenSaverIsRefusedWhileArmedAndOtherSystemCommandsPass)
{
    FakeGuardPlatform platform;
    // The system may set the low four bits.
    for (uintptr_t command : {uintptr_t(0xF140), uintptr_t(0xF142)}) {
        const GuardDecision decision = FilterGuardMessage({GUARD_WM_SYSCOMMAND, command}, Armed(0), platform);
        EXPECT_TRUE(decision.handled);
        EXPECT_TRUE(decision.setsResult);
        EXPECT_EQ(decision.result, 0);
        EXPECT_EQ(decision.actions, 0u);
    }
    // SC_CLOSE, SC_MINIMIZE, SC_MONITORPOWER, SC_KEYMENU.
    for (uintptr_t command : {uintptr_t(0xF060), uintptr_t(0xF020), uintptr_t(0xF170), uintptr_t(0xF100)})
        ExpectNothing(FilterGuardMessage({GUARD_WM_SYSCOMMAND, command}, Armed(ALL_TRIGGERS), platform));
    EXPECT_EQ(platform.Asked(), 0);
}

// Losing the console sounds; getting it back restarts only a sounding siren.
TEST(GuardFilter, LosingTheConsoleSoundsAndGettingItBackRestartsASoundingSiren)
{
    FakeGuardPlatform platform;
    const auto actions = [&platform](uintptr_t reason, bool siren) {
        return FilterGuardMessage({GUARD_WM_WTSSESSION_CHANGE, reason}, Armed(0, siren), platform).actions;
    };
    EXPECT_EQ(actions(GUARD_WTS_CONSOLE_DISCONNECT, false), GUARD_ACTION_START_ALARM);
    EXPECT_EQ(actions(GUARD_WTS_REMOTE_CONNECT, true), GUARD_ACTION_START_ALARM);
    EXPECT_EQ(actions(GUARD_WTS_SESSION_UNLOCK, true), GUARD_ACTION_RESTART_SOUND);
    EXPECT_EQ(actions(GUARD_WTS_CONSOLE_CONNECT, false), 0u);
    EXPECT_EQ(platform.Asked(), 0);
}

// A status change sounds when the line status differs from the last one seen
// (an unknown last status included) and the power trigger is on.
struct PowerCase {
    const char* name;
    uint32_t triggers;
    uint8_t lastAcLine;
    uint8_t acLineNow;
    uint32_t actions;
};

const PowerCase POWER_CASES[] = {
    {"unplugged", FLAG_TRIGGER_POWER, 1, 0, GUARD_ACTION_START_ALARM},
    {"plugged in", FLAG_TRIGGER_POWER, 0, 1, GUARD_ACTION_START_ALARM},
    {"from unknown", FLAG_TRIGGER_POWER, 255, 1, GUARD_ACTION_START_ALARM},
    {"unchanged", ALL_TRIGGERS, 1, 1, 0},
    {"unplugged without the trigger", ALL_TRIGGERS & ~FLAG_TRIGGER_POWER, 1, 0, 0},
};

TEST(GuardFilter, PowerStatusChangeSoundsOnAChangeWithTheTrigger)
{
    for (const PowerCase& c : POWER_CASES) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        platform.acLine = c.acLineNow;
        const GuardDecision decision = FilterGuardMessage(
            {GUARD_WM_POWERBROADCAST, GUARD_PBT_APMPOWERSTATUSCHANGE}, Armed(c.triggers, false, c.lastAcLine), platform);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_TRUE(decision.handled);
        EXPECT_FALSE(decision.setsResult);
        EXPECT_EQ(platform.acAsked, 1);
    }
}

TEST(GuardFilter, QuerySuspendIsDeniedWithoutAnyTrigger)
{
    FakeGuardPlatform platform;
    const GuardDecision decision =
        FilterGuardMessage({GUARD_WM_POWERBROADCAST, GUARD_PBT_APMQUERYSUSPEND}, Armed(0), platform);
    EXPECT_TRUE(decision.handled);
    EXPECT_TRUE(decision.setsResult);
    EXPECT_EQ(decision.result, 0x424D5144);
    EXPECT_EQ(decision.actions, 0u);
    EXPECT_EQ(platform.Asked(), 0);
}

TEST(GuardFilter, SuspendAndResumeSoundOnlyWithTheShutdownTriggerOtherPowerEventsDoNothing)
{
    const uintptr_t events[] = {GUARD_PBT_APMSUSPEND, GUARD_PBT_APMRESUMESUSPEND, GUARD_PBT_APMRESUMEAUTOMATIC,
                                6, 9, 11, 0x8000};  // the first three: sleep
    const uint32_t others = ALL_TRIGGERS & ~uint32_t(FLAG_TRIGGER_SHUTDOWN);
    for (const uintptr_t& event : events) {
        const bool isSleep = &event < events + 3;
        for (uint32_t triggers : {ALL_TRIGGERS, uint32_t(FLAG_TRIGGER_SHUTDOWN), others, 0u}) {
            FakeGuardPlatform platform;
            platform.acLine = 0;  // would sound if the power row were asked
            const GuardDecision decision =
                FilterGuardMessage({GUARD_WM_POWERBROADCAST, event}, Armed(triggers, false, 1), platform);
            EXPECT_TRUE(decision.handled) << event;
            EXPECT_FALSE(decision.setsResult) << event;
            EXPECT_EQ(decision.actions, isSleep && (triggers & FLAG_TRIGGER_SHUTDOWN) ? GUARD_ACTION_START_ALARM : 0u)
                << event << " " << triggers;
            EXPECT_EQ(platform.Asked(), 0);
        }
    }
}

// A power setting notice: the lid switch sounds on closing with the shutdown
// trigger (the first notice after registering only reports the state the
// lid is in); the power source goes through the line status test.
TEST(GuardFilter, APowerSettingNoticeSoundsOnlyForItsTriggersChange)
{
    struct Case {
        const char* name;
        std::array<uint8_t, 16> setting;
        bool hasValue;
        uint32_t value;
        bool lidStateKnown;
        uint8_t acLineNow;  // 0 would sound if the power row were asked
        uint32_t triggers;
        uint32_t actions;
        int acAsked;
    } const cases[] = {
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
        {"display off", CONSOLE_DISPLAY_STATE, true, GUARD_DISPLAY_OFF, false, 0, FLAG_TRIGGER_SHUTDOWN,
         GUARD_ACTION_START_ALARM, 0},
        {"display off without the trigger", CONSOLE_DISPLAY_STATE, true, 0, true, 0, FLAG_TRIGGER_POWER, 0, 0},
        {"display dimmed", CONSOLE_DISPLAY_STATE, true, 2, true, 0, FLAG_TRIGGER_SHUTDOWN, 0, 0},
        {"display, no data", CONSOLE_DISPLAY_STATE, false, GUARD_DISPLAY_OFF, true, 0, FLAG_TRIGGER_SHUTDOWN, 0, 0},
        {"another setting", HID_INTERFACE_CLASS, true, 1, true, 0, FLAG_TRIGGER_POWER | FLAG_TRIGGER_SHUTDOWN, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        platform.acLine = c.acLineNow;
        platform.powerSetting = {c.setting, c.hasValue, c.value};
        GuardState state = Armed(c.triggers, false, 1);
        state.lidStateKnown = c.lidStateKnown;
        const GuardDecision decision =
            FilterGuardMessage({GUARD_WM_POWERBROADCAST, GUARD_PBT_POWERSETTINGCHANGE}, state, platform);
        EXPECT_TRUE(decision.handled);
        EXPECT_FALSE(decision.setsResult);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_EQ(platform.acAsked, c.acAsked);
    }
}

// Every row that sounds says why, for the owner's phone.
TEST(GuardFilter, EachWayInNamesItsCause)
{
    const struct {
        GuardMessage message;
        InputDesktop desktop;
        uint8_t acLineNow;
        std::array<uint8_t, 16> setting;
        AlarmCause cause;
    } rows[] = {
        {{GUARD_WM_QUERYENDSESSION, 0}, InputDesktop::Guard, 1, {}, AlarmCause::ShutdownOrLogOff},
        {{GUARD_WM_TIMER, 0}, InputDesktop::Unreachable, 1, {}, AlarmCause::DesktopSwitch},
        {{GUARD_WM_TIMER, 0}, InputDesktop::Other, 1, {}, AlarmCause::DesktopSwitch},
        {{GUARD_WM_POWERBROADCAST, GUARD_PBT_APMSUSPEND}, InputDesktop::Guard, 1, {}, AlarmCause::Sleep},
        {{GUARD_WM_POWERBROADCAST, GUARD_PBT_APMPOWERSTATUSCHANGE}, InputDesktop::Guard, 0, {},
         AlarmCause::PowerSource},
        {{GUARD_WM_POWERBROADCAST, GUARD_PBT_POWERSETTINGCHANGE}, InputDesktop::Guard, 0, ACDC_POWER_SOURCE,
         AlarmCause::PowerSource},
        {{GUARD_WM_POWERBROADCAST, GUARD_PBT_POWERSETTINGCHANGE}, InputDesktop::Guard, 1, LIDSWITCH_STATE_CHANGE,
         AlarmCause::LidClosed},
        {{GUARD_WM_DEVICECHANGE, GUARD_DBT_DEVICEREMOVECOMPLETE}, InputDesktop::Guard, 1, {},
         AlarmCause::InputDeviceRemoved},
    };
    for (const auto& row : rows) {
        FakeGuardPlatform platform;
        platform.inputDesktop = row.desktop;
        platform.acLine = row.acLineNow;
        platform.notice = HidNotice();
        platform.powerSetting = {row.setting, true, GUARD_LID_CLOSED};
        GuardState state = Armed(ALL_TRIGGERS, false, 1);
        state.guardDesktopSeen = state.lidStateKnown = true;
        const GuardDecision decision = FilterGuardMessage(row.message, state, platform);
        EXPECT_TRUE(decision.actions & GUARD_ACTION_START_ALARM) << AlarmCauseText(row.cause);
        EXPECT_EQ(decision.cause, row.cause) << AlarmCauseText(row.cause);
    }
}

// A device change sounds only for the removal of a HID interface, with the
// USB mouse trigger on.
TEST(GuardFilter, DeviceChangeSoundsOnlyForAHidRemovalWithTheTrigger)
{
    struct DeviceCase {
        std::string name;
        uintptr_t event;
        DeviceNotice notice;
        uint32_t triggers;
        uint32_t actions;
    };
    constexpr uintptr_t REMOVED = GUARD_DBT_DEVICEREMOVECOMPLETE;
    std::vector<DeviceCase> cases = {
        {"HID removal", REMOVED, HidNotice(), FLAG_TRIGGER_USB_MOUSE, GUARD_ACTION_START_ALARM},
        {"HID removal without the trigger", REMOVED, HidNotice(), ALL_TRIGGERS & ~FLAG_TRIGGER_USB_MOUSE, 0},
    };
    for (uint32_t type : {0u, 2u, 3u, 6u}) {
        DeviceNotice notice = HidNotice();
        notice.deviceType = type;
        cases.push_back({"removal of device type " + std::to_string(type), REMOVED, notice, ALL_TRIGGERS, 0});
    }
    // Every single byte of the class counts.
    for (size_t i = 0; i < HID_INTERFACE_CLASS.size(); ++i) {
        DeviceNotice notice = HidNotice();
        notice.classGuid[i] ^= 0x01;
        cases.push_back({"removal of a class differing in byte " + std::to_string(i), REMOVED, notice, ALL_TRIGGERS, 0});
    }
    // Arrival, query remove, remove pending, devnodes changed.
    for (uintptr_t event : {uintptr_t(0x8000), uintptr_t(0x8001), uintptr_t(0x8003), uintptr_t(0x0007)})
        cases.push_back({"device event " + std::to_string(event), event, HidNotice(), ALL_TRIGGERS, 0});

    for (const DeviceCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGuardPlatform platform;
        platform.notice = c.notice;
        const GuardDecision decision = FilterGuardMessage({GUARD_WM_DEVICECHANGE, c.event}, Armed(c.triggers), platform);
        EXPECT_EQ(decision.actions, c.actions);
        EXPECT_FALSE(decision.handled);
        EXPECT_FALSE(decision.setsResult);
    }
}

// A mixer change while the siren sounds forces the volume again when it is
// muted or below full, asking the second only when the first says no; while
// silent nothing is read.
TEST(GuardFilter, MixerChangesReforceASoundingSirenThatWasTurnedDown)
{
    const struct {
        const char* name;
        bool siren, muted, belowFull;
        uint32_t actions;
        int mutedAsked, belowFullAsked;
    } cases[] = {
        {"sounding, muted: muted already decides", true, true, false, GUARD_ACTION_REFORCE_VOLUME, 1, 0},
        {"sounding, below full", true, false, true, GUARD_ACTION_REFORCE_VOLUME, 1, 1},
        {"sounding, full and unmuted", true, false, false, 0, 1, 1},
        {"silent, muted and below full", false, true, true, 0, 0, 0},
    };
    for (const auto& c : cases) {
        for (uint32_t message : {GUARD_MM_MIXM_LINE_CHANGE, GUARD_MM_MIXM_CONTROL_CHANGE}) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(message);
            FakeGuardPlatform platform;
            platform.muted = c.muted;
            platform.belowFull = c.belowFull;
            // The triggers play no part: none while sounding, all while silent.
            const GuardDecision decision =
                FilterGuardMessage({message, 0}, Armed(c.siren ? 0 : ALL_TRIGGERS, c.siren), platform);
            EXPECT_EQ(decision.actions, c.actions);
            EXPECT_FALSE(decision.handled);
            EXPECT_FALSE(decision.setsResult);
            EXPECT_EQ(platform.mutedAsked, c.mutedAsked);
            EXPECT_EQ(platform.belowFullAsked, c.belowFullAsked);
            EXPECT_EQ(platform.Asked(), c.mutedAsked + c.belowFullAsked);
        }
    }
}

TEST(GuardFilter, OtherMessagesDoNothing)
{
    FakeGuardPlatform platform;
    platform.inputDesktop = InputDesktop::Unreachable;
    platform.muted = true;
    for (uint32_t message : {0x0010u, 0x0016u, 0x0110u, 0x0111u, 0x000Fu, 0x0401u})
        ExpectNothing(FilterGuardMessage({message, 0x8004}, Armed(ALL_TRIGGERS, true), platform));
    EXPECT_EQ(platform.Asked(), 0);
}

// Every row of the table, disarmed: nothing handled, nothing done, nothing
// asked of the platform.
TEST(GuardFilter, DisarmedReportsNothingForAnyRow)
{
    FakeGuardPlatform platform;
    platform.acLine = 0;
    platform.inputDesktop = InputDesktop::Unreachable;
    platform.notice = HidNotice();
    platform.muted = true;
    platform.belowFull = true;
    platform.powerSetting = {LIDSWITCH_STATE_CHANGE, true, GUARD_LID_CLOSED};
    const std::vector<GuardMessage> rows = {
        {GUARD_WM_QUERYENDSESSION, 0},
        {GUARD_WM_TIMER, 1025},
        {GUARD_WM_SYSCOMMAND, GUARD_SC_SCREENSAVE},
        {GUARD_WM_POWERBROADCAST, GUARD_PBT_APMPOWERSTATUSCHANGE},
        {GUARD_WM_POWERBROADCAST, GUARD_PBT_APMQUERYSUSPEND},
        {GUARD_WM_POWERBROADCAST, 7},
        {GUARD_WM_POWERBROADCAST, GUARD_PBT_APMSUSPEND},
        {GUARD_WM_POWERBROADCAST, GUARD_PBT_APMRESUMEAUTOMATIC},
        {GUARD_WM_POWERBROADCAST, GUARD_PBT_POWERSETTINGCHANGE},
        {GUARD_WM_DEVICECHANGE, GUARD_DBT_DEVICEREMOVECOMPLETE},
        {GUARD_MM_MIXM_LINE_CHANGE, 0},
        {GUARD_MM_MIXM_CONTROL_CHANGE, 0},
        {0x0111, 1},
    };
    const GuardState disarmed{ALL_TRIGGERS | FLAG_SMS_SERVICE, true, 1};
    for (const GuardMessage& row : rows) {
        const GuardDecision decision = FilterGuardMessage(row, disarmed, platform);
        EXPECT_EQ(decision.actions, 0u) << row.message;
        EXPECT_FALSE(decision.handled) << row.message;
        EXPECT_FALSE(decision.setsResult) << row.message;
    }
    EXPECT_EQ(platform.Asked(), 0);
}

TEST(GuardEvents, TheArmingLineNamesTheTicksOnly)
{
    EXPECT_EQ(ArmedEventText(FLAG_ARMED | ALL_TRIGGERS | FLAG_SMS_SERVICE),
              "Armed; triggers: power cable, shutdown or log-off, USB mouse, mouse moved; SMS alarm on");
    EXPECT_EQ(ArmedEventText(FLAG_ARMED), "Armed; triggers: none");
}

}  // namespace
