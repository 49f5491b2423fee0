#include "guard/guard_filter.h"

namespace {

GuardDecision Handled()
{
    GuardDecision decision;
    decision.handled = true;
    return decision;
}

GuardDecision HandledWithResult(intptr_t result)
{
    GuardDecision decision = Handled();
    decision.setsResult = true;
    decision.result = result;
    return decision;
}

void SoundFor(GuardDecision& decision, AlarmCause cause, uint32_t moreActions = 0)
{
    decision.actions = GUARD_ACTION_START_ALARM | moreActions;
    decision.cause = cause;
}

bool Has(const GuardState& state, uint32_t bit)
{
    return (state.flags & bit) != 0;
}

char16_t Lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

// Every tick, whatever the triggers say: a switch away from the guard is a
// theft attempt. A foreign desktop that can be opened (the owner's, reached
// through Task Manager) is also switched away from again, tick after tick,
// until the guard has the input back.
GuardDecision InputDesktopRow(const GuardState& state, GuardPlatform& platform)
{
    GuardDecision decision;
    switch (platform.WhichInputDesktop()) {
    case InputDesktop::Unreachable:
        SoundFor(decision, AlarmCause::DesktopSwitch);
        break;
    case InputDesktop::Guard:
        if (!state.guardDesktopSeen)
            decision.actions = GUARD_ACTION_GUARD_DESKTOP_SEEN;
        break;
    case InputDesktop::Other:
        if (state.guardDesktopSeen)
            SoundFor(decision, AlarmCause::DesktopSwitch, GUARD_ACTION_SWITCH_TO_GUARD);
        break;
    }
    return decision;
}

// A screen saver that locks would hand the input to a desktop we may not
// open, and the siren would sound with nobody near.
GuardDecision ScreenSaverRow(const GuardMessage& message)
{
    if ((message.wParam & 0xFFF0) == GUARD_SC_SCREENSAVE)
        return HandledWithResult(0);
    return GuardDecision();
}

bool PowerSourceChanged(const GuardState& state, GuardPlatform& platform)
{
    // Any change from the status at arming counts, plugging in as well.
    return platform.AcLineStatus() != state.lastAcLineStatus && Has(state, FLAG_TRIGGER_POWER);
}

// A sleep that happens anyway, the resume from it, the lid, and the display
// going off (Modern Standby's sleep): sounding only with the shutdown
// trigger, as a refused shutdown does.
bool FilterSleepEvent(const GuardMessage& message, const GuardState& state, GuardPlatform& platform,
                      GuardDecision& decision)
{
    switch (message.wParam) {
    case GUARD_PBT_APMSUSPEND:
    case GUARD_PBT_APMRESUMESUSPEND:
    case GUARD_PBT_APMRESUMEAUTOMATIC:
        if (Has(state, FLAG_TRIGGER_SHUTDOWN))
            SoundFor(decision, AlarmCause::Sleep);
        return true;
    case GUARD_PBT_POWERSETTINGCHANGE: {
        const PowerSettingNotice notice = platform.PowerSetting();
        if (notice.setting == LIDSWITCH_STATE_CHANGE && notice.hasValue) {
            if (!state.lidStateKnown)
                decision.actions = GUARD_ACTION_LID_STATE_KNOWN;
            else if (notice.value == GUARD_LID_CLOSED && Has(state, FLAG_TRIGGER_SHUTDOWN))
                SoundFor(decision, AlarmCause::LidClosed);
        } else if (notice.setting == CONSOLE_DISPLAY_STATE) {
            if (notice.hasValue && notice.value == GUARD_DISPLAY_OFF && Has(state, FLAG_TRIGGER_SHUTDOWN))
                SoundFor(decision, AlarmCause::Sleep);
        } else if (notice.setting == ACDC_POWER_SOURCE && PowerSourceChanged(state, platform)) {
            SoundFor(decision, AlarmCause::PowerSource);
        }
        return true;
    }
    default:
        return false;
    }
}

// Switch user (another account takes the console) or a remote session
// taking it: the owner's session goes on unseen and unheard, so it is a theft
// attempt whatever the triggers say. When the session has the console again,
// a siren that was sounding sounds again.
GuardDecision SessionChangeRow(const GuardMessage& message, const GuardState& state)
{
    GuardDecision decision;
    switch (message.wParam) {
    case GUARD_WTS_CONSOLE_DISCONNECT:
    case GUARD_WTS_REMOTE_CONNECT:
        SoundFor(decision, AlarmCause::SessionChange);
        break;
    case GUARD_WTS_CONSOLE_CONNECT:
    case GUARD_WTS_REMOTE_DISCONNECT:
    case GUARD_WTS_SESSION_UNLOCK:
        if (state.sirenSounding)
            decision.actions = GUARD_ACTION_RESTART_SOUND;
        break;
    default:
        break;
    }
    return decision;
}

}  // namespace

GuardDecision FilterGuardMessage(const GuardMessage& message, const GuardState& state, GuardPlatform& platform)
{
    GuardDecision decision;
    if (!Has(state, FLAG_ARMED))
        return decision;

    switch (message.message) {
    case GUARD_WM_QUERYENDSESSION:
        // Refused whatever the triggers say; the trigger only adds the siren.
        decision = HandledWithResult(0);
        if (Has(state, FLAG_TRIGGER_SHUTDOWN))
            SoundFor(decision, AlarmCause::ShutdownOrLogOff);
        return decision;

    case GUARD_WM_TIMER:
    case GUARD_MESSAGE_DESKTOP_SWITCHED:
        return InputDesktopRow(state, platform);

    case GUARD_WM_WTSSESSION_CHANGE:
        return SessionChangeRow(message, state);

    case GUARD_WM_SYSCOMMAND:
        return ScreenSaverRow(message);

    case GUARD_WM_POWERBROADCAST:
        if (message.wParam == GUARD_PBT_APMQUERYSUSPEND)
            return HandledWithResult(GUARD_BROADCAST_QUERY_DENY);
        decision = Handled();
        if (FilterSleepEvent(message, state, platform, decision))
            return decision;
        if (message.wParam == GUARD_PBT_APMPOWERSTATUSCHANGE && PowerSourceChanged(state, platform))
            SoundFor(decision, AlarmCause::PowerSource);
        return decision;

    case GUARD_WM_DEVICECHANGE:
        if (message.wParam == GUARD_DBT_DEVICEREMOVECOMPLETE) {
            // Any HID interface, a keyboard as well as a mouse.
            const DeviceNotice notice = platform.Notice();
            if (notice.deviceType == GUARD_DBT_DEVTYP_DEVICEINTERFACE && notice.classGuid == HID_INTERFACE_CLASS &&
                Has(state, FLAG_TRIGGER_USB_MOUSE))
                SoundFor(decision, AlarmCause::InputDeviceRemoved);
        }
        return decision;

    case GUARD_MM_MIXM_LINE_CHANGE:
    case GUARD_MM_MIXM_CONTROL_CHANGE:
        // Our own writes send these too; they find full and unmuted and stop.
        if (state.sirenSounding && (platform.IsMuted() || platform.IsBelowFull()))
            decision.actions = GUARD_ACTION_REFORCE_VOLUME;
        return decision;

    default:
        return decision;
    }
}

InputDesktop ClassifyInputDesktop(bool opened, std::u16string_view name)
{
    if (!opened)
        return InputDesktop::Unreachable;
    const std::u16string_view guard = GUARD_DESKTOP_NAME;
    if (name.size() != guard.size())
        return InputDesktop::Other;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Lower(name[i]) != Lower(guard[i]))
            return InputDesktop::Other;
    }
    return InputDesktop::Guard;
}
