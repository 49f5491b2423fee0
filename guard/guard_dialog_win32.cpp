#include "guard/guard_dialog_win32.h"

#include <commctrl.h>
#include <dbt.h>
#include <wtsapi32.h>
// GUID_DEVINTERFACE_HID is defined here, not in a library.
#include <initguid.h>
#include <hidclass.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/scoped_win32.h"
#include "win32/ui_resources_win32.h"
#include "guard/give_back_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_rules.h"
#include "guard/guard_thread_win32.h"
#include "guard/input_hooks_win32.h"
#include "guard/password_rules.h"
#include "guard/volume_guard_win32.h"
#include "online/push_sender_win32.h"
#include "online/service_calls_win32.h"
#include "resource_ids.h"

namespace {

// Sent by the dialog to itself when the desktop-switch event comes, so that
// the switch is judged at once rather than at the next tick.
constexpr UINT WM_APP_DESKTOP_SWITCHED = WM_APP + 0x61;

constexpr wchar_t ARMED_REASON[] = L"Kestrova alarm is armed";

// The desktop watch: four ticks a second at most, each of which the system
// may put off by up to 50 ms to share a wake-up with other timers (a laptop
// may stay guarded for hours on battery); a switch away is still undone
// within 300 ms where no desktop-switch event comes (Wine).
constexpr UINT WATCH_TICK_MS = 250;
constexpr ULONG WATCH_TOLERANCE_MS = 50;

// What one guard dialog keeps between its messages, on the guard thread alone.
struct GuardDialogData {
    const GuardConfig& config;  // the guard thread's copy of the settings
    const Picture& lockPicture;
    std::unique_ptr<GiveBackMachine> giveBack{};  // before the siren's volume, which reports to it
    SirenState siren{};
    BYTE acLineStatusAtArming = 0;
    bool guardDesktopSeen = false;  // the guard's desktop has had the input since arming
    bool desktopNameFailed = false;
    bool lidStateKnown = false;
    bool batteryLowTold = false;
    WrongPasswords wrongPasswords{};  // the fifth sounds; the count goes to the disarmed message
    struct Notices {
        ScopedDeviceNotice hid;
        ScopedSuspendResumeNotice suspendResume;
        ScopedPowerSettingNotice powerSettings[3];
        UniqueHandle<HWND, WTSUnRegisterSessionNotification> session;
        ScopedWinEvent desktopSwitch;
    } notices{};  // from arming to the unlock
    ScopedHandle runningRequest{};
    GuardEnd end = {GuardEnd::Unlocked, {}};
};

// Switches the screen to the calling thread's desktop (the guard's).
void BringGuardDesktopToFront() noexcept
{
    LogIfFalse(SwitchDesktop(GetThreadDesktop(GetCurrentThreadId())), "SwitchDesktop");
}

// One step of the alarm's start, standing alone: a throw (out of memory) skips
// it, and the steps after it still run.
template <class Step>
void AlarmStep(const char* name, Step step) noexcept
{
    try {
        step();
    } catch (const std::exception& error) {
        char line[LOG_TEXT_LIMIT];  // no allocation: this may follow a failed one
        std::snprintf(line, sizeof line, "The alarm's step %s failed: %s", name, error.what());
        LogEvent(line);
    }
}

// While the siren sounds: the device of arming, when another one is the
// default now (the laptop's speakers, after a USB or Bluetooth device made
// itself the default), sounds a siren of its own, forced like the default.
void SoundOnArmingDevice(VolumeGuard& volume, DeviceSiren& second)
{
    const std::u16string device = volume.ForceArmingEndpoint();
    if (device.empty())
        StopSirenOn(second);
    else
        StartSirenOn(second, device);
}

// The session has the console again while the siren sounds (after Switch
// user or a remote session): the system closed the siren's streams
// meanwhile, and the default device may be another one.
void RestartAlarmSound(SirenState& siren)
{
    if (!siren.sounding)
        return;
    BringGuardDesktopToFront();
    AlarmStep("FollowDefaultEndpoint", [&] {
        siren.volume->FollowDefaultEndpoint(true);
        siren.volume->ForceFullVolume();
    });
    StartSiren();
    // The second siren's stream may have died too, even on the same device.
    StopSirenOn(siren.second);
    SoundOnArmingDevice(*siren.volume, siren.second);
}

// Any change from the line status at arming counts, plugging in as well.
bool PowerSourceChanged(BYTE acLineStatusAtArming) noexcept
{
    SYSTEM_POWER_STATUS status = {};
    if (LogIfFalse(GetSystemPowerStatus(&status), "GetSystemPowerStatus"))
        return status.ACLineStatus != acLineStatusAtArming;
    // Blind to the cable: "unknown" (255) differs from the status at arming,
    // so the power trigger sounds rather than watching nothing.
    return acLineStatusAtArming != 255;
}

// Armed on battery at 10 % or less: Windows will soon hibernate at its
// critical level and the guard would end without a word. Once per arming.
void TellIfBatteryLow(GuardDialogData& data)
{
    SYSTEM_POWER_STATUS power = {};
    if (data.batteryLowTold || !LogIfFalse(GetSystemPowerStatus(&power), "GetSystemPowerStatus") ||
        !BatteryLow(power.ACLineStatus, power.BatteryLifePercent))
        return;
    data.batteryLowTold = true;
    LogEvent("Battery low: " + std::to_string(power.BatteryLifePercent) + " % left");
    QueuePlainPush(data.config.push, BatteryLowPush, "battery");
}

// Every tick and every desktop-switch event, whatever the triggers say: a
// switch away from the guard is a theft attempt, and a desktop we may open
// (the owner's, reached through Task Manager) is switched away from again,
// tick after tick, until the guard has the input back.
void WatchDesktop(GuardDialogData& data)
{
    const ScopedDesktop desktop(OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP));
    wchar_t name[256] = {};
    DWORD needed = 0;
    // A name that cannot be read reads as empty: another desktop. Logged once
    // per arming: the tick would write four lines a second.
    if (desktop) {
        const FailedCall failed = FailureIfFalse(
            GetUserObjectInformationW(desktop.Get(), UOI_NAME, name, sizeof name - sizeof name[0], &needed),
            "GetUserObjectInformationW");
        if (failed && !std::exchange(data.desktopNameFailed, true))
            LogFailedCall(failed);
    }
    // wchar_t is UTF-16 on Windows; a view, so the tick allocates nothing.
    const DesktopWatch watch = WatchInputDesktop(bool(desktop), reinterpret_cast<const char16_t*>(name),
                                                 data.guardDesktopSeen);
    data.guardDesktopSeen = data.guardDesktopSeen || watch == DesktopWatch::GuardSeen;
    if (watch == DesktopWatch::Sound || watch == DesktopWatch::SoundSwitchBack)
        StartAlarm(data.config, data.siren, AlarmCause::DesktopSwitch);
    // StartAlarm switches once, and only when it starts the siren.
    if (watch == DesktopWatch::SoundSwitchBack)
        BringGuardDesktopToFront();
}

// Out of context, so it runs on the guard thread, from the dialog's message
// loop, as soon as the switch is announced. The event names no window of
// ours: it goes to the armed guard's. Nothing here throws: no edge.
void CALLBACK DesktopSwitched(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) noexcept
{
    PostToGuard(WM_APP_DESKTOP_SWITCHED, 0);
}

// "Armed; triggers: power cable, USB mouse" (or "none": only a switch of
// desktop then sounds).
std::string ArmedEventText(uint32_t flags)
{
    const std::pair<uint32_t, const char*> triggers[] = {{FLAG_TRIGGER_POWER, "power cable"},
        {FLAG_TRIGGER_SHUTDOWN, "shutdown or log-off"}, {FLAG_TRIGGER_USB_MOUSE, "USB mouse"},
        {FLAG_TRIGGER_MOUSE_MOVE, "mouse moved"}};
    std::string named;
    for (const auto& [bit, name] : triggers)
        if (flags & bit)
            named += (named.empty() ? " " : ", ") + std::string(name);
    return "Armed; triggers:" + (named.empty() ? " none" : named) + (flags & FLAG_SMS_SERVICE ? "; SMS alarm on" : "");
}

// A call the guard depends on failed before anything was armed: the lock is
// refused, and the guard thread tells the owner on their own desktop.
void RefuseArming(HWND dialog, GuardDialogData& data, const FailedCall& failed)
{
    LogFailedCall(failed);
    data.siren.volume->CloseMixer();
    data.end = {GuardEnd::Refused, failed};
    EndDialog(dialog, 0);
}

// The password box takes typed keys alone: no paste and no context menu
// (whose Paste would do the same), so a password left on the clipboard never
// unlocks. Shift+Insert is dropped as a key, as an edit may paste without
// sending itself WM_PASTE. The clipboard itself is left as it is.
LRESULT CALLBACK TypedKeysOnly(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept
{
    if (message == WM_PASTE || message == WM_CONTEXTMENU || (message == WM_KEYDOWN && wParam == VK_INSERT))
        return 0;
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, TypedKeysOnly, 0);
    return DefSubclassProc(edit, message, wParam, lParam);
}

void InitGuardDialog(HWND dialog, GuardDialogData& data)
{
    LogIfFalse(SetWindowSubclass(GetDlgItem(dialog, IDC_GUARD_PASSWORD), TypedKeysOnly, 0, 0), "SetWindowSubclass");
    // No siren, no guard: checked before anything on the machine changes, so
    // the guard thread can show the fatal box on the owner's desktop and
    // nothing is left to give back.
    data.siren.volume = OpenVolumeGuard(dialog);
    if (!data.siren.volume) {
        data.end = {GuardEnd::NoSound, nullptr};
        EndDialog(dialog, 0);
        return;
    }
    // The calls the guard cannot watch without, before anything changes.
    SYSTEM_POWER_STATUS power = {};
    if (const FailedCall failed = FailureIfFalse(GetSystemPowerStatus(&power), "GetSystemPowerStatus"))
        return RefuseArming(dialog, data, failed);
    data.acLineStatusAtArming = power.ACLineStatus;
    // Kept beside the desktop-switch event: a switch whose event never comes
    // is still seen. Its ticks do nothing until the hooks are in.
    if (const FailedCall failed = FailureIfFalse(
            SetCoalescableTimer(dialog, IDT_GUARD_WATCH, WATCH_TICK_MS, nullptr, WATCH_TOLERANCE_MS),
            "SetCoalescableTimer"))
        return RefuseArming(dialog, data, failed);
    // The SMS notice's DLLs load at their first call: now, not at the alarm.
    if (data.config.flags & FLAG_SMS_SERVICE)
        PrepareAlarmNotice();
    // What arming changes on the machine is saved (and flushed) before it
    // changes; the autostart value follows the record.
    data.giveBack = SaveAndChangeForArming(*data.siren.volume);
    // While armed the system is asked to keep running: on a Modern Standby
    // laptop the screen still goes off at the lid or the power button, but the
    // guard keeps running instead of being paused with the other desktop
    // programs. Closing the handle ends the request.
    REASON_CONTEXT reason = {POWER_REQUEST_CONTEXT_VERSION, POWER_REQUEST_CONTEXT_SIMPLE_STRING, {}};
    reason.Reason.SimpleReasonString = const_cast<wchar_t*>(ARMED_REASON);
    const HANDLE request = PowerCreateRequest(&reason);
    if (LogIfFalse(request != INVALID_HANDLE_VALUE, "PowerCreateRequest")) {
        data.runningRequest.Reset(request);
        LogIfFalse(PowerSetRequest(request, PowerRequestExecutionRequired), "PowerSetRequest");
    }
    // Blind without its hooks: what arming changed goes back at once.
    if (const FailedCall failed = Arm(dialog, data.config)) {
        data.runningRequest.Reset();
        GiveBackAtUnlock(data.giveBack.get());
        return RefuseArming(dialog, data, failed);
    }
    LogEvent(ArmedEventText(data.config.flags));
    LogEvent(PushStateText(data.config.push));
    // Since Vista an idle machine sleeps without asking, and a sleeping one
    // cannot sound; and a refused shutdown should say why.
    LogIfFalse(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED),
               "SetThreadExecutionState");
    LogIfFalse(ShutdownBlockReasonCreate(dialog, ARMED_REASON), "ShutdownBlockReasonCreate");
    DEV_BROADCAST_DEVICEINTERFACE_W hid = {sizeof hid, DBT_DEVTYP_DEVICEINTERFACE, 0, GUID_DEVINTERFACE_HID, {}};
    GuardDialogData::Notices& notices = data.notices;
    notices.hid.Reset(RegisterDeviceNotificationW(dialog, &hid, DEVICE_NOTIFY_WINDOW_HANDLE));
    LogIfFalse(bool(notices.hid), "RegisterDeviceNotificationW");
    // A window on a desktop of its own gets suspend and resume only when
    // registered for them, and the lid switch, the power source and the
    // display state only through power-setting notices.
    notices.suspendResume.Reset(RegisterSuspendResumeNotification(dialog, DEVICE_NOTIFY_WINDOW_HANDLE));
    LogIfFalse(bool(notices.suspendResume), "RegisterSuspendResumeNotification");
    const GUID* const settings[] = {&GUID_LIDSWITCH_STATE_CHANGE, &GUID_ACDC_POWER_SOURCE, &GUID_CONSOLE_DISPLAY_STATE};
    for (size_t i = 0; i < std::size(settings); ++i) {
        notices.powerSettings[i].Reset(
            RegisterPowerSettingNotification(dialog, settings[i], DEVICE_NOTIFY_WINDOW_HANDLE));
        LogIfFalse(bool(notices.powerSettings[i]), "RegisterPowerSettingNotification");
    }
    // Switch user or a remote session takes the console without any other
    // notice reaching the guard.
    if (LogIfFalse(WTSRegisterSessionNotification(dialog, NOTIFY_FOR_THIS_SESSION), "WTSRegisterSessionNotification"))
        notices.session.Reset(dialog);
    notices.desktopSwitch.Reset(SetWinEventHook(EVENT_SYSTEM_DESKTOPSWITCH, EVENT_SYSTEM_DESKTOPSWITCH, nullptr,
                                                DesktopSwitched, 0, 0, WINEVENT_OUTOFCONTEXT));
    LogIfFalse(bool(notices.desktopSwitch), "SetWinEventHook");
}

void Unlock(HWND dialog, GuardDialogData& data, WORD id)
{
    Disarm();
    StopAlarm(data.siren);
    data.notices = {};
    data.siren.volume->CloseMixer();
    data.runningRequest.Reset();
    GiveBackAtUnlock(data.giveBack.get());
    const uint32_t wrong = data.wrongPasswords.Count();
    const std::optional<unsigned long long>& started = data.siren.startedMs;
    QueueUnlockPush(data.config.push,
                    started ? std::optional<int64_t>((GetTickCount64() - *started) / 1000) : std::nullopt, wrong);
    LogIfFalse(SetThreadExecutionState(ES_CONTINUOUS), "SetThreadExecutionState");
    LogIfFalse(ShutdownBlockReasonDestroy(dialog), "ShutdownBlockReasonDestroy");
    LogEvent(wrong == 0 ? std::string("Unlocked") : "Unlocked after " + std::to_string(wrong) + " wrong password(s)");
    EndDialog(dialog, id);
}

// The right password disarms at any time. A wrong one gives no message; the
// fifth counted sounds. The log counts them (never what was typed), and the
// owner is told the count at unlock. Each try that does not unlock empties
// the box, as Windows' own sign-in does: the next starts clean.
void SubmitPassword(HWND dialog, GuardDialogData& data, WORD id)
{
    PasswordEdit typed = {};  // wchar_t is UTF-16 on Windows
    GetDlgItemTextW(dialog, IDC_GUARD_PASSWORD, reinterpret_cast<wchar_t*>(typed.data()), PASSWORD_UNITS);
    if (PasswordMatches(typed, ReadPasswordEdit(data.config.password)))
        return Unlock(dialog, data, id);
    LogIfFalse(SetDlgItemTextW(dialog, IDC_GUARD_PASSWORD, L""), "SetDlgItemTextW");
    if (data.wrongPasswords.Submitted(typed)) {
        const uint32_t wrong = data.wrongPasswords.Count();
        if (wrong == WRONG_PASSWORDS_FOR_ALARM)
            StartAlarm(data.config, data.siren, AlarmCause::WrongPasswords);
        LogEvent("Wrong password (" + std::to_string(wrong) + " since arming)");
    }
}

INT_PTR GuardDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* data = reinterpret_cast<GuardDialogData*>(GetWindowLongPtrW(dialog, DWLP_USER));
    // What comes before WM_INITDIALOG (WM_SETFONT) finds no data yet.
    if (!data && message != WM_INITDIALOG)
        return FALSE;
    // From Arm to Disarm; before and after it, no trigger acts.
    const bool armed = GuardArmed();
    const uint32_t flags = data ? data->config.flags : 0;

    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        InitGuardDialog(dialog, *reinterpret_cast<GuardDialogData*>(lParam));
        return TRUE;
    case WM_PAINT:
        // PaintPicture validates before drawing, so nothing is left to do.
        PaintPicture(dialog, data->lockPicture, 0, 0);
        return TRUE;
    case WM_DPICHANGED:
        // The picture changes size: all of it is drawn again.
        InvalidateRect(dialog, nullptr, TRUE);
        return FALSE;
    case WM_COMMAND:
        // A caret blinks by a timer of its thread, twice a second for as long
        // as the box has the focus: hidden, the armed guard wakes for nothing.
        // The typed password's dots still show where the typing goes.
        if (LOWORD(wParam) == IDC_GUARD_PASSWORD && HIWORD(wParam) == EN_SETFOCUS)
            HideCaret(reinterpret_cast<HWND>(lParam));
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
            return FALSE;
        SubmitPassword(dialog, *data, LOWORD(wParam));
        return TRUE;

    case WM_QUERYENDSESSION:
        if (!armed)
            return FALSE;
        // Refused whatever the triggers say; the trigger only adds the siren.
        if (flags & FLAG_TRIGGER_SHUTDOWN)
            StartAlarm(data->config, data->siren, AlarmCause::ShutdownOrLogOff);
        // Windows reads the answer to these three from DWLP_MSGRESULT.
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_SYSCOMMAND:
        // A screen saver that locks would hand the input to a desktop we may
        // not open, and the siren would sound with nobody near. The low four
        // bits are the system's own.
        if (!armed || (wParam & 0xFFF0) != SC_SCREENSAVE)
            return FALSE;
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_TIMER:
    case WM_APP_DESKTOP_SWITCHED:
        if (armed)
            WatchDesktop(*data);
        return FALSE;

    case WM_POWERBROADCAST:
        if (!armed)
            return FALSE;
        switch (wParam) {
        case PBT_APMQUERYSUSPEND:
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, BROADCAST_QUERY_DENY);
            return TRUE;
        case PBT_APMPOWERSTATUSCHANGE:
            if ((flags & FLAG_TRIGGER_POWER) && PowerSourceChanged(data->acLineStatusAtArming))
                StartAlarm(data->config, data->siren, AlarmCause::PowerSource);
            TellIfBatteryLow(*data);
            break;
        // A sleep that happens anyway, and the resume from it: sounding only
        // with the shutdown trigger, as a refused shutdown does.
        case PBT_APMSUSPEND:
        case PBT_APMRESUMESUSPEND:
        case PBT_APMRESUMEAUTOMATIC:
            if (flags & FLAG_TRIGGER_SHUTDOWN)
                StartAlarm(data->config, data->siren, AlarmCause::Sleep);
            break;
        case PBT_POWERSETTINGCHANGE:
            if (lParam) {
                const AlarmCause cause = PowerSettingAlarm(*reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam),
                                                           flags, data->acLineStatusAtArming, data->lidStateKnown);
                if (cause != AlarmCause::Unknown)
                    StartAlarm(data->config, data->siren, cause);
            }
            break;
        }
        return TRUE;
    case WM_ENDSESSION:
        // "Sign out anyway": the process ends in a few seconds, whatever the
        // guard refused. The owner's phone is told now; the next sign-in
        // starts the program again from the Run key.
        if (armed && wParam) {
            if (flags & FLAG_TRIGGER_SHUTDOWN)
                StartAlarm(data->config, data->siren, AlarmCause::ShutdownOrLogOff);
            LogEvent("The session ends while armed");
            // 3 s of the few seconds Windows gives a session's programs to end.
            SendStoppedWhileArmedPush(data->config.push, 3000);
        }
        return TRUE;
    case WM_DEVICECHANGE:
        if (armed && (flags & FLAG_TRIGGER_USB_MOUSE) && HidInterfaceRemoved(wParam, lParam))
            StartAlarm(data->config, data->siren, AlarmCause::InputDeviceRemoved);
        return FALSE;
    case WM_WTSSESSION_CHANGE:
        if (!armed)
            return FALSE;
        // Switch user or a remote session taking the console: the owner's
        // session goes on unseen and unheard, whatever the triggers say.
        if (wParam == WTS_CONSOLE_DISCONNECT || wParam == WTS_REMOTE_CONNECT)
            StartAlarm(data->config, data->siren, AlarmCause::SessionChange);
        else if (wParam == WTS_CONSOLE_CONNECT || wParam == WTS_REMOTE_DISCONNECT || wParam == WTS_SESSION_UNLOCK)
            RestartAlarmSound(data->siren);
        return FALSE;
    case MM_MIXM_LINE_CHANGE:
    case MM_MIXM_CONTROL_CHANGE:
        // Our own writes send these too; they find full and unmuted and stop.
        if (armed && data->siren.sounding && data->siren.volume->IsBelowFull())
            data->siren.volume->ForceFullVolume();
        return FALSE;

    // Posted while armed; one still queued at the unlock finds the guard
    // disarmed.
    case WM_APP_ALARM:
        if (armed)
            StartAlarm(data->config, data->siren, static_cast<AlarmCause>(wParam));
        return TRUE;
    case WM_APP_HOOK_FAILED:
        LogHookThreadFailure(wParam, lParam);
        return TRUE;
    case WM_APP_ENDPOINT_CHANGED:
        if (armed && data->siren.sounding)
            data->siren.volume->ReforceEndpoint();
        return TRUE;
    case WM_APP_DEFAULT_DEVICE_CHANGED:
        // Earphones, a headset, a dock: the new default is reached, and while
        // the siren sounds forced and sounding too.
        if (armed) {
            data->siren.volume->FollowDefaultEndpoint(data->siren.sounding);
            if (data->siren.sounding) {
                StartSiren();
                SoundOnArmingDevice(*data->siren.volume, data->siren.second);
            }
        }
        return TRUE;
    default:
        return FALSE;
    }
}

// TRUE on a failure, so that no default handling (a close, a session end) runs.
const DLGPROC GuardDialogProc = ProcedureAtEdge<INT_PTR, GuardDialogProcBody, TRUE>;

}  // namespace

void StartAlarm(const GuardConfig& config, SirenState& state, AlarmCause cause)
{
    if (state.sounding)
        return;
    state.sounding = true;
    {
        // Nothing before the sirens waits on the disk: what the steps log is
        // written once they sound.
        const HeldLogLines held;
        if (config.flags & FLAG_SMS_SERVICE)
            AlarmStep("SendAlarmNotice", [&] { SendAlarmNotice(config.account); });
        BringGuardDesktopToFront();
        AlarmStep("ForceFullVolume", [&] { state.volume->ForceFullVolume(); });
        StartSiren();
        if (!state.startedMs)
            state.startedMs = GetTickCount64();
        AlarmStep("StartSirenOn", [&] { SoundOnArmingDevice(*state.volume, state.second); });
        // After the sirens, so that the message can never hold them up.
        AlarmStep("QueueAlarmPush", [&] { QueueAlarmPush(config.push, AlarmCauseText(cause)); });
        if (config.takePhotos)
            AlarmStep("StartAlarmPhotos", [&] { state.photos = StartAlarmPhotos(config.push, AlarmCauseText(cause)); });
    }
    LogEvent(std::string("Alarm: ") + AlarmCauseText(cause));
}

void StopAlarm(SirenState& state)
{
    state.sounding = false;
    StopAlarmPhotos(state.photos);
    StopSiren();
    StopSirenOn(state.second);
    state.volume->Restore();
}

AlarmCause PowerSettingAlarm(const POWERBROADCAST_SETTING& notice, uint32_t flags, BYTE acLineStatusAtArming,
                             bool& lidStateKnown) noexcept
{
    DWORD value = 0;
    const bool hasValue = notice.DataLength >= sizeof value;
    if (hasValue)
        std::memcpy(&value, notice.Data, sizeof value);
    // The lid closed or the display off: each 0.
    const bool off = hasValue && value == 0;
    if (IsEqualGUID(notice.PowerSetting, GUID_LIDSWITCH_STATE_CHANGE)) {
        // The first notice after registering only reports the lid's state.
        const bool reportOnly = hasValue && !std::exchange(lidStateKnown, true);
        // Closing the lid and carrying the laptop off moves it, too.
        const bool triggered = (flags & (FLAG_TRIGGER_SHUTDOWN | FLAG_TRIGGER_MOUSE_MOVE)) != 0;
        return off && triggered && !reportOnly ? AlarmCause::LidClosed : AlarmCause::Unknown;
    }
    // On a Modern Standby laptop, where Sleep cannot be refused, the display
    // going off (0; 1 is on, 2 dimmed) while the guard holds it on is the
    // sleep itself beginning: with the shutdown trigger.
    if (IsEqualGUID(notice.PowerSetting, GUID_CONSOLE_DISPLAY_STATE))
        return off && (flags & FLAG_TRIGGER_SHUTDOWN) ? AlarmCause::Sleep : AlarmCause::Unknown;
    if (IsEqualGUID(notice.PowerSetting, GUID_ACDC_POWER_SOURCE) && (flags & FLAG_TRIGGER_POWER) &&
        PowerSourceChanged(acLineStatusAtArming))
        return AlarmCause::PowerSource;
    return AlarmCause::Unknown;
}

bool HidInterfaceRemoved(WPARAM wParam, LPARAM lParam) noexcept
{
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    // Only an interface notice carries a class, and only one long enough.
    return wParam == DBT_DEVICEREMOVECOMPLETE && header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
           header->dbch_size >= offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) &&
           IsEqualGUID(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header)->dbcc_classguid,
                       GUID_DEVINTERFACE_HID);
}

GuardEnd RunGuardDialog(const GuardConfig& config, const Picture& lockPicture) noexcept
{
    GuardDialogData data{config, lockPicture};
    if (RunDialog(IDD_GUARD, nullptr, GuardDialogProc, reinterpret_cast<LPARAM>(&data)) == -1)
        return {GuardEnd::Refused, FailureIfFalse(false, "DialogBoxParamW")};  // the log keeps the error
    return data.end;
}
