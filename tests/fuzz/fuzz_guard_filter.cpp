// The armed guard's decision over any message, parameter, flag word, siren
// state and platform answers, the device-change notice included (any device
// type, any class GUID, the HID class often). The removal notice's raw
// header is read by the Win32 adapter; what reaches this decision is its
// type and class. Checks each row's rule and that the platform is asked only
// by the row that needs it, at most once.

#include "fake_guard_platform.h"
#include "fuzz_input.h"
#include "guard/guard_filter.h"

namespace {

const uint32_t MESSAGES[] = {GUARD_WM_QUERYENDSESSION, GUARD_WM_TIMER, GUARD_WM_POWERBROADCAST,
                             GUARD_WM_DEVICECHANGE, GUARD_MM_MIXM_LINE_CHANGE, GUARD_MM_MIXM_CONTROL_CHANGE,
                             GUARD_WM_SYSCOMMAND, GUARD_MESSAGE_DESKTOP_SWITCHED, GUARD_WM_WTSSESSION_CHANGE};
constexpr size_t MESSAGE_COUNT = sizeof MESSAGES / sizeof MESSAGES[0];
const uintptr_t PARAMS[] = {GUARD_PBT_APMQUERYSUSPEND,      GUARD_PBT_APMPOWERSTATUSCHANGE,
                            GUARD_DBT_DEVICEREMOVECOMPLETE, 0x8000 /* arrival */,
                            GUARD_PBT_APMRESUMESUSPEND,     GUARD_PBT_APMSUSPEND,
                            GUARD_PBT_APMRESUMEAUTOMATIC,   GUARD_PBT_POWERSETTINGCHANGE,
                            GUARD_SC_SCREENSAVE};
constexpr size_t PARAM_COUNT = sizeof PARAMS / sizeof PARAMS[0];
const InputDesktop DESKTOPS[] = {InputDesktop::Unreachable, InputDesktop::Guard, InputDesktop::Other};

bool IsSleepEvent(uintptr_t wParam)
{
    return wParam == GUARD_PBT_APMSUSPEND || wParam == GUARD_PBT_APMRESUMESUSPEND ||
           wParam == GUARD_PBT_APMRESUMEAUTOMATIC;
}

bool IsNothing(const GuardDecision& decision)
{
    return decision.actions == 0 && !decision.handled && !decision.setsResult && decision.result == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    GuardMessage message;
    uint8_t pick = input.Byte();
    message.message = pick < 200 ? MESSAGES[pick % MESSAGE_COUNT] : input.Word();
    pick = input.Byte();
    message.wParam = pick < 200 ? PARAMS[pick % PARAM_COUNT] : uintptr_t(input.Word()) << 32 | input.Word();

    GuardState state;
    state.flags = input.Word();
    state.sirenSounding = input.Flag();
    state.lastAcLineStatus = input.Byte();
    state.guardDesktopSeen = input.Flag();

    FakeGuardPlatform platform;
    platform.acLine = input.Byte();
    platform.inputDesktop = DESKTOPS[input.Byte() % 3];
    platform.muted = input.Flag();
    platform.belowFull = input.Flag();
    platform.notice.deviceType = (input.Byte() & 1) ? GUARD_DBT_DEVTYP_DEVICEINTERFACE : input.Word();
    platform.notice.classGuid = HID_INTERFACE_CLASS;
    if (input.Flag())
        platform.notice.classGuid[input.Byte() % 16] ^= uint8_t(input.Byte() | 1);  // one byte off
    else if (input.Flag())
        for (uint8_t& byte : platform.notice.classGuid)
            byte = input.Byte();

    // Appended last, so the seeds written before these rows keep their meaning.
    state.lidStateKnown = input.Flag();
    const uint8_t settingPick = input.Byte();
    platform.powerSetting.setting = settingPick % 3 == 0   ? LIDSWITCH_STATE_CHANGE
                                    : settingPick % 3 == 1 ? ACDC_POWER_SOURCE
                                                           : HID_INTERFACE_CLASS;
    platform.powerSetting.hasValue = input.Flag();
    platform.powerSetting.value = input.Byte() & 1 ? GUARD_LID_CLOSED : input.Word();

    const GuardDecision decision = FilterGuardMessage(message, state, platform);

    const bool armed = (state.flags & FLAG_ARMED) != 0;
    FUZZ_CHECK((decision.actions & ~(GUARD_ACTION_START_ALARM | GUARD_ACTION_REFORCE_VOLUME |
                                     GUARD_ACTION_LID_STATE_KNOWN | GUARD_ACTION_SWITCH_TO_GUARD |
                                     GUARD_ACTION_GUARD_DESKTOP_SEEN | GUARD_ACTION_RESTART_SOUND)) == 0);
    FUZZ_CHECK(!decision.setsResult || decision.handled);
    FUZZ_CHECK(platform.acAsked <= 1 && platform.desktopAsked <= 1 && platform.noticeAsked <= 1 &&
               platform.mutedAsked <= 1 && platform.belowFullAsked <= 1 && platform.powerSettingAsked <= 1);
    if (!armed) {
        FUZZ_CHECK(IsNothing(decision) && platform.Asked() == 0);
        return 0;
    }

    const bool alarm = decision.actions == GUARD_ACTION_START_ALARM;
    switch (message.message) {
    case GUARD_WM_QUERYENDSESSION:
        FUZZ_CHECK(decision.handled && decision.setsResult && decision.result == 0);
        FUZZ_CHECK(alarm == ((state.flags & FLAG_TRIGGER_SHUTDOWN) != 0) && (alarm || decision.actions == 0));
        FUZZ_CHECK(platform.Asked() == 0);
        break;
    case GUARD_WM_TIMER:
    case GUARD_MESSAGE_DESKTOP_SWITCHED: {
        FUZZ_CHECK(!decision.handled && !decision.setsResult && platform.desktopAsked == 1 && platform.Asked() == 1);
        const InputDesktop which = platform.inputDesktop;
        const bool sounds = (decision.actions & GUARD_ACTION_START_ALARM) != 0;
        const bool switches = (decision.actions & GUARD_ACTION_SWITCH_TO_GUARD) != 0;
        const bool seen = (decision.actions & GUARD_ACTION_GUARD_DESKTOP_SEEN) != 0;
        // A foreign desktop counts only once the guard's has had the input.
        FUZZ_CHECK(sounds == (which == InputDesktop::Unreachable ||
                              (which == InputDesktop::Other && state.guardDesktopSeen)));
        FUZZ_CHECK(switches == (which == InputDesktop::Other && state.guardDesktopSeen));
        FUZZ_CHECK(seen == (which == InputDesktop::Guard && !state.guardDesktopSeen));
        FUZZ_CHECK((decision.actions & GUARD_ACTION_REFORCE_VOLUME) == 0);
        break;
    }
    case GUARD_WM_WTSSESSION_CHANGE: {
        const uintptr_t why = message.wParam;
        const bool lost = why == GUARD_WTS_CONSOLE_DISCONNECT || why == GUARD_WTS_REMOTE_CONNECT;
        const bool back =
            why == GUARD_WTS_CONSOLE_CONNECT || why == GUARD_WTS_REMOTE_DISCONNECT || why == GUARD_WTS_SESSION_UNLOCK;
        FUZZ_CHECK(!decision.handled && platform.Asked() == 0 && decision.actions ==
                   (lost ? GUARD_ACTION_START_ALARM : back && state.sirenSounding ? GUARD_ACTION_RESTART_SOUND : 0u));
        break;
    }
    case GUARD_WM_SYSCOMMAND: {
        const bool screenSaver = (message.wParam & 0xFFF0) == GUARD_SC_SCREENSAVE;
        FUZZ_CHECK(platform.Asked() == 0 && decision.actions == 0);
        FUZZ_CHECK(decision.handled == screenSaver && decision.setsResult == screenSaver && decision.result == 0);
        break;
    }
    case GUARD_WM_POWERBROADCAST:
        FUZZ_CHECK(decision.handled && platform.desktopAsked + platform.noticeAsked == 0);
        if (message.wParam == GUARD_PBT_APMQUERYSUSPEND) {
            FUZZ_CHECK(decision.setsResult && decision.result == GUARD_BROADCAST_QUERY_DENY && decision.actions == 0);
        } else if (IsSleepEvent(message.wParam)) {
            FUZZ_CHECK(!decision.setsResult && platform.Asked() == 0);
            FUZZ_CHECK(alarm == ((state.flags & FLAG_TRIGGER_SHUTDOWN) != 0) && (alarm || decision.actions == 0));
        } else if (message.wParam == GUARD_PBT_POWERSETTINGCHANGE) {
            const PowerSettingNotice& notice = platform.powerSetting;
            FUZZ_CHECK(!decision.setsResult && platform.powerSettingAsked == 1);
            const bool lid = notice.setting == LIDSWITCH_STATE_CHANGE && notice.hasValue;
            if (lid && !state.lidStateKnown)
                FUZZ_CHECK(decision.actions == GUARD_ACTION_LID_STATE_KNOWN);
            else if (lid)
                FUZZ_CHECK(alarm == (notice.value == GUARD_LID_CLOSED && (state.flags & FLAG_TRIGGER_SHUTDOWN)) &&
                           (alarm || decision.actions == 0));
            else if (notice.setting == ACDC_POWER_SOURCE)
                FUZZ_CHECK(alarm == (platform.acLine != state.lastAcLineStatus &&
                                     (state.flags & FLAG_TRIGGER_POWER)) && (alarm || decision.actions == 0));
            else
                FUZZ_CHECK(decision.actions == 0 && platform.acAsked == 0);
        } else {
            FUZZ_CHECK(!decision.setsResult);
            const bool changed = message.wParam == GUARD_PBT_APMPOWERSTATUSCHANGE &&
                                 platform.acLine != state.lastAcLineStatus;
            FUZZ_CHECK(alarm == (changed && (state.flags & FLAG_TRIGGER_POWER) != 0));
            FUZZ_CHECK(alarm || decision.actions == 0);
        }
        break;
    case GUARD_WM_DEVICECHANGE: {
        FUZZ_CHECK(!decision.handled && !decision.setsResult);
        const bool removal = message.wParam == GUARD_DBT_DEVICEREMOVECOMPLETE;
        FUZZ_CHECK(platform.noticeAsked == (removal ? 1 : 0) && platform.Asked() == platform.noticeAsked);
        const bool hid = platform.notice.deviceType == GUARD_DBT_DEVTYP_DEVICEINTERFACE &&
                         platform.notice.classGuid == HID_INTERFACE_CLASS;
        FUZZ_CHECK(alarm == (removal && hid && (state.flags & FLAG_TRIGGER_USB_MOUSE) != 0));
        FUZZ_CHECK(alarm || decision.actions == 0);
        break;
    }
    case GUARD_MM_MIXM_LINE_CHANGE:
    case GUARD_MM_MIXM_CONTROL_CHANGE:
        FUZZ_CHECK(!decision.handled && platform.acAsked + platform.desktopAsked + platform.noticeAsked == 0);
        FUZZ_CHECK((decision.actions == GUARD_ACTION_REFORCE_VOLUME) ==
                   (state.sirenSounding && (platform.muted || platform.belowFull)));
        FUZZ_CHECK(decision.actions == 0 || decision.actions == GUARD_ACTION_REFORCE_VOLUME);
        if (!state.sirenSounding)
            FUZZ_CHECK(platform.Asked() == 0);
        break;
    default:
        FUZZ_CHECK(IsNothing(decision) && platform.Asked() == 0);
        break;
    }
    return 0;
}
