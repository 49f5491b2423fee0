#include "guard/guard_dialog_win32.h"

#include <windows.h>

#include <dbt.h>
#include <wtsapi32.h>

#include <array>
#include <optional>
#include <cstring>
#include <string>

#include "win32/callback_edge_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "app/ui_resources_win32.h"
#include "guard/alarm_win32.h"
#include "guard/give_back_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_events.h"
#include "guard/guard_filter.h"
#include "win32/guid_win32.h"
#include "guard/guard_thread_win32.h"
#include "guard/input_hooks_win32.h"
#include "guard/password_rules.h"
#include "guard/power_rules.h"
#include "guard/power_notices_win32.h"
#include "guard/volume_guard_win32.h"
#include "online/push_sender_win32.h"
#include "resource_ids.h"

// The filter speaks of these messages and codes under names of its own; here
// they are pinned to the system's, so a wrong copy fails the build.
static_assert(GUARD_WM_QUERYENDSESSION == WM_QUERYENDSESSION, "WM_QUERYENDSESSION");
static_assert(GUARD_WM_SYSCOMMAND == WM_SYSCOMMAND, "WM_SYSCOMMAND");
static_assert(GUARD_WM_TIMER == WM_TIMER, "WM_TIMER");
static_assert(GUARD_WM_POWERBROADCAST == WM_POWERBROADCAST, "WM_POWERBROADCAST");
static_assert(GUARD_WM_DEVICECHANGE == WM_DEVICECHANGE, "WM_DEVICECHANGE");
static_assert(GUARD_MM_MIXM_LINE_CHANGE == MM_MIXM_LINE_CHANGE, "MM_MIXM_LINE_CHANGE");
static_assert(GUARD_MM_MIXM_CONTROL_CHANGE == MM_MIXM_CONTROL_CHANGE, "MM_MIXM_CONTROL_CHANGE");
static_assert(GUARD_WM_WTSSESSION_CHANGE == WM_WTSSESSION_CHANGE, "WM_WTSSESSION_CHANGE");
static_assert(GUARD_MESSAGE_DESKTOP_SWITCHED >= WM_APP && GUARD_MESSAGE_DESKTOP_SWITCHED < 0xC000,
              "the guard's own message is in the application's range");
static_assert(ALARM_MESSAGE_START >= WM_APP && ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED < 0xC000,
              "the alarm's messages are in the application's range");
static_assert(GUARD_PBT_APMQUERYSUSPEND == PBT_APMQUERYSUSPEND, "PBT_APMQUERYSUSPEND");
static_assert(GUARD_PBT_APMPOWERSTATUSCHANGE == PBT_APMPOWERSTATUSCHANGE, "PBT_APMPOWERSTATUSCHANGE");
static_assert(GUARD_PBT_APMSUSPEND == PBT_APMSUSPEND, "PBT_APMSUSPEND");
static_assert(GUARD_PBT_APMRESUMESUSPEND == PBT_APMRESUMESUSPEND, "PBT_APMRESUMESUSPEND");
static_assert(GUARD_PBT_APMRESUMEAUTOMATIC == PBT_APMRESUMEAUTOMATIC, "PBT_APMRESUMEAUTOMATIC");
static_assert(GUARD_PBT_POWERSETTINGCHANGE == PBT_POWERSETTINGCHANGE, "PBT_POWERSETTINGCHANGE");
static_assert(GUARD_BROADCAST_QUERY_DENY == BROADCAST_QUERY_DENY, "BROADCAST_QUERY_DENY");
static_assert(GUARD_DBT_DEVICEREMOVECOMPLETE == DBT_DEVICEREMOVECOMPLETE, "DBT_DEVICEREMOVECOMPLETE");
static_assert(GUARD_DBT_DEVTYP_DEVICEINTERFACE == DBT_DEVTYP_DEVICEINTERFACE, "DBT_DEVTYP_DEVICEINTERFACE");
static_assert(GUARD_SC_SCREENSAVE == SC_SCREENSAVE, "SC_SCREENSAVE");
static_assert(GUARD_WTS_CONSOLE_CONNECT == WTS_CONSOLE_CONNECT, "WTS_CONSOLE_CONNECT");
static_assert(GUARD_WTS_CONSOLE_DISCONNECT == WTS_CONSOLE_DISCONNECT, "WTS_CONSOLE_DISCONNECT");
static_assert(GUARD_WTS_REMOTE_CONNECT == WTS_REMOTE_CONNECT, "WTS_REMOTE_CONNECT");
static_assert(GUARD_WTS_REMOTE_DISCONNECT == WTS_REMOTE_DISCONNECT, "WTS_REMOTE_DISCONNECT");
static_assert(GUARD_WTS_SESSION_UNLOCK == WTS_SESSION_UNLOCK, "WTS_SESSION_UNLOCK");

namespace {

// Session notices (Switch user, a remote session, unlock) for one window,
// given up at unlock or when the window's data goes.
class SessionNotices {
public:
    SessionNotices() = default;
    SessionNotices(const SessionNotices&) = delete;
    SessionNotices& operator=(const SessionNotices&) = delete;
    ~SessionNotices() { Unregister(); }

    void Register(HWND window) noexcept
    {
        if (WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION))
            window_ = window;
        else
            LogFailedCall("WTSRegisterSessionNotification", GetLastError());
    }
    void Unregister() noexcept
    {
        if (window_)
            WTSUnRegisterSessionNotification(window_);
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
};

// What one guard dialog keeps between its messages: the guard's run-time
// state, on the guard thread alone.
struct GuardDialogData {
    explicit GuardDialogData(const GuardConfig& guardConfig) : config(guardConfig), alarm(guardConfig) {}
    const GuardConfig& config;  // the guard thread's copy of the settings
    GuardAlarm alarm;           // whether the siren sounds
    uint8_t acLineStatusAtArming = 0;
    ScopedDeviceNotice deviceNotice;
    bool guardDesktopSeen = false;  // the guard's desktop has had the input since arming
    PowerNotices powerNotices;
    bool lidStateKnown = false;
    WrongPasswords wrongPasswords;  // the fifth sounds; the count goes to the disarmed message
    bool batteryLowTold = false;
    SessionNotices sessionNotices;
    ScopedWinEvent desktopSwitch;
    RunningRequest runningRequest;
    const char* refusedCall = nullptr;  // what failed when arming was refused
};

// Out of context, so it runs on the guard thread, from the dialog's message
// loop, as soon as the switch is announced: judged at once, not at the next
// tick. The event names no window of ours: the armed guard's is asked for.
void CALLBACK DesktopSwitched(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) noexcept
{
    AtCallbackEdge([] {
        if (const HWND guard = ArmedGuardWindow())
            SendMessageW(guard, GUARD_MESSAGE_DESKTOP_SWITCHED, 0, 0);
    });
}

class Win32GuardPlatform : public GuardPlatform {
public:
    explicit Win32GuardPlatform(LPARAM lParam) : lParam_(lParam) {}

    uint8_t AcLineStatus() override
    {
        SYSTEM_POWER_STATUS status = {};
        if (!GetSystemPowerStatus(&status)) {
            // Blind to the cable: "unknown" differs from the status read at
            // arming, so the power trigger sounds rather than watching nothing.
            LogFailedCall("GetSystemPowerStatus", GetLastError());
            return 255;
        }
        return status.ACLineStatus;
    }

    InputDesktop WhichInputDesktop() override
    {
        const ScopedDesktop desktop(OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP));
        if (!desktop)
            return InputDesktop::Unreachable;
        // A name that cannot be read reads as empty: another desktop.
        wchar_t name[256] = {};
        DWORD needed = 0;
        if (!GetUserObjectInformationW(desktop.Get(), UOI_NAME, name, sizeof name - sizeof name[0], &needed))
            name[0] = L'\0';
        // wchar_t is UTF-16 on Windows; a view, so the 100 ms tick allocates nothing.
        return ClassifyInputDesktop(true, std::u16string_view(reinterpret_cast<const char16_t*>(name)));
    }

    DeviceNotice Notice() override
    {
        DeviceNotice notice;
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam_);
        if (!header)
            return notice;
        notice.deviceType = header->dbch_devicetype;
        // Only an interface notice carries a class, and only one long enough.
        if (notice.deviceType == DBT_DEVTYP_DEVICEINTERFACE &&
            header->dbch_size >= offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
            const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
            std::memcpy(notice.classGuid.data(), &device->dbcc_classguid, notice.classGuid.size());
        }
        return notice;
    }

    bool IsMuted() override { return GetVolumeGuard().IsMuted(); }
    bool IsBelowFull() override { return GetVolumeGuard().IsBelowFull(); }

    PowerSettingNotice PowerSetting() override
    {
        PowerSettingNotice notice;
        const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam_);
        if (!setting)
            return notice;
        std::memcpy(notice.setting.data(), &setting->PowerSetting, notice.setting.size());
        notice.hasValue = setting->DataLength >= sizeof(DWORD);
        if (notice.hasValue)
            std::memcpy(&notice.value, setting->Data, sizeof(DWORD));
        return notice;
    }

private:
    LPARAM lParam_;
};

// The dialog's results when arming did not happen.
constexpr INT_PTR GUARD_RESULT_NO_SOUND = 3;
constexpr INT_PTR GUARD_RESULT_REFUSED = 4;

constexpr GUID HID_CLASS_GUID = GuidFromBytes(HID_INTERFACE_CLASS);
constexpr wchar_t SHUTDOWN_BLOCK_REASON[] = L"Kestrova alarm is armed";
// Of the few seconds Windows gives a session's programs to end.
constexpr unsigned STOPPED_PUSH_WAIT_MS = 3000;

HDEVNOTIFY RegisterHidNotice(HWND dialog)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;  // 32
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = HID_CLASS_GUID;
    return RegisterDeviceNotificationW(dialog, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

// A call the guard depends on failed before anything was armed: the lock is
// refused, and the guard thread tells the owner on their own desktop.
void RefuseArming(HWND dialog, GuardDialogData& data, const char* call)
{
    LogFailedCall(call, GetLastError());
    GetVolumeGuard().CloseMixer();
    data.refusedCall = call;
    EndDialog(dialog, GUARD_RESULT_REFUSED);
}

void InitGuardDialog(HWND dialog, GuardDialogData& data)
{
    // No siren, no guard: checked before anything on the machine changes, so
    // the guard thread can show the fatal box on the owner's desktop and
    // nothing is left to give back.
    if (!TryOpenMixerWithWindow(dialog)) {
        EndDialog(dialog, GUARD_RESULT_NO_SOUND);
        return;
    }
    // The calls the guard cannot watch without, before anything changes.
    SYSTEM_POWER_STATUS power = {};
    if (!GetSystemPowerStatus(&power))
        return RefuseArming(dialog, data, "GetSystemPowerStatus");
    data.acLineStatusAtArming = power.ACLineStatus;
    // Kept beside the desktop-switch event: a switch whose event never comes
    // is still seen. Its ticks do nothing until the hooks are in.
    if (!SetTimer(dialog, IDT_GUARD_WATCH, 100, nullptr))
        return RefuseArming(dialog, data, "SetTimer");
    // What arming changes on the machine is saved (and flushed) before it
    // changes; the autostart value follows the record.
    SaveAndChangeForArming();
    data.runningRequest.Hold();
    // Blind without its hooks: what arming changed goes back at once.
    if (!Arm(dialog, data.config)) {
        data.runningRequest.Clear();
        GiveBackAtUnlock();
        return RefuseArming(dialog, data, "SetWindowsHookExW");
    }
    LogEvent(ArmedEventText(data.config.flags));
    // Since Vista an idle machine sleeps without asking, and a sleeping one
    // cannot sound; and a refused shutdown should say why.
    if (!SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED))
        LogFailedCall("SetThreadExecutionState", GetLastError());
    if (!ShutdownBlockReasonCreate(dialog, SHUTDOWN_BLOCK_REASON))
        LogFailedCall("ShutdownBlockReasonCreate", GetLastError());
    data.deviceNotice.Reset(RegisterHidNotice(dialog));
    if (!data.deviceNotice)
        LogFailedCall("RegisterDeviceNotificationW", GetLastError());
    data.powerNotices.Register(dialog);
    // Switch user or a remote session takes the console without any other
    // notice reaching the guard.
    data.sessionNotices.Register(dialog);
    data.desktopSwitch.Reset(SetWinEventHook(EVENT_SYSTEM_DESKTOPSWITCH, EVENT_SYSTEM_DESKTOPSWITCH, nullptr,
                                             DesktopSwitched, 0, 0, WINEVENT_OUTOFCONTEXT));
    if (!data.desktopSwitch)
        LogFailedCall("SetWinEventHook", GetLastError());
}

void Unlock(HWND dialog, GuardDialogData& data, WORD id)
{
    Disarm();
    StopAlarm(data.alarm);
    data.deviceNotice.Reset();
    data.powerNotices.Unregister();
    data.sessionNotices.Unregister();
    data.desktopSwitch.Reset();
    GetVolumeGuard().CloseMixer();
    data.runningRequest.Clear();
    GiveBackAtUnlock();
    const uint32_t wrong = data.wrongPasswords.Count();
    std::optional<int64_t> sirenSeconds;
    if (data.alarm.sirenStartMs)
        sirenSeconds = int64_t((GetTickCount64() - *data.alarm.sirenStartMs) / 1000);
    QueueUnlockPush(data.config.push, sirenSeconds, wrong);
    SetThreadExecutionState(ES_CONTINUOUS);
    ShutdownBlockReasonDestroy(dialog);
    LogEvent(wrong == 0 ? std::string("Unlocked") : "Unlocked after " + std::to_string(wrong) + " wrong password(s)");
    EndDialog(dialog, id);
}

PasswordEdit ReadGuardEdit(HWND dialog)
{
    wchar_t buffer[PASSWORD_UNITS] = {};
    SendDlgItemMessageW(dialog, IDC_GUARD_PASSWORD, WM_GETTEXT, PASSWORD_UNITS, reinterpret_cast<LPARAM>(buffer));
    PasswordEdit typed = {};
    for (size_t i = 0; i < PASSWORD_UNITS; ++i)
        typed[i] = char16_t(buffer[i]);
    return typed;
}

// Armed on battery at 10 % or less: Windows will soon hibernate at its
// critical level and the guard would end without a word. Once per arming.
void TellIfBatteryLow(GuardDialogData& data)
{
    SYSTEM_POWER_STATUS power = {};
    if (data.batteryLowTold || !GetSystemPowerStatus(&power) ||
        !BatteryLow(power.ACLineStatus, power.BatteryLifePercent))
        return;
    data.batteryLowTold = true;
    LogEvent("Battery low: " + std::to_string(power.BatteryLifePercent) + " % left");
    QueueBatteryLowPush(data.config.push);
}

void CarryOut(uint32_t actions, AlarmCause cause, GuardDialogData& data)
{
    if (actions & GUARD_ACTION_GUARD_DESKTOP_SEEN)
        data.guardDesktopSeen = true;
    if (actions & GUARD_ACTION_LID_STATE_KNOWN)
        data.lidStateKnown = true;
    if (actions & GUARD_ACTION_START_ALARM)
        StartAlarm(data.alarm, cause);
    // StartAlarm switches once, and only when it starts the siren.
    if (actions & GUARD_ACTION_SWITCH_TO_GUARD)
        BringGuardDesktopToFront();
    if (actions & GUARD_ACTION_RESTART_SOUND)
        RestartAlarmSound(data.alarm);
    if (actions & GUARD_ACTION_REFORCE_VOLUME) {
        VolumeGuard& volume = GetVolumeGuard();
        volume.ForceFullVolume();
        volume.Unmute();
    }
}

INT_PTR GuardDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* data = reinterpret_cast<GuardDialogData*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (data && GuardArmed() && message == WM_POWERBROADCAST && wParam == PBT_APMPOWERSTATUSCHANGE)
        TellIfBatteryLow(*data);
    if (data) {
        const GuardState state{data->config.flags | (GuardArmed() ? FLAG_ARMED : 0u), data->alarm.sirenSounding,
                               data->acLineStatusAtArming, data->guardDesktopSeen, data->lidStateKnown};
        Win32GuardPlatform platform(lParam);
        const GuardDecision decision = FilterGuardMessage({message, wParam}, state, platform);
        CarryOut(decision.actions, decision.cause, *data);
        if (decision.handled) {
            if (decision.setsResult)
                SetWindowLongPtrW(dialog, DWLP_MSGRESULT, decision.result);
            return TRUE;
        }
    }

    switch (message) {
    case WM_INITDIALOG:
        data = reinterpret_cast<GuardDialogData*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
        InitGuardDialog(dialog, *data);
        return TRUE;
    case WM_PAINT:
        // PaintPicture validates before drawing, so nothing is left to do.
        PaintPicture(dialog, GetUiResources().lockPicture, 0, 0);
        return TRUE;
    case WM_DPICHANGED:
        // The picture changes size: all of it is drawn again.
        InvalidateRect(dialog, nullptr, TRUE);
        return FALSE;
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        if (id != IDOK && id != IDCANCEL)
            return FALSE;
        if (!data)
            return TRUE;
        // The right password disarms at any time. A wrong one gives no
        // message; the fifth counted sounds. The log counts them (never what
        // was typed), and the owner is told the count at unlock.
        const PasswordEdit typed = ReadGuardEdit(dialog);
        if (PasswordMatches(typed, ReadPasswordEdit(data->config.password))) {
            Unlock(dialog, *data, id);
        } else if (data->wrongPasswords.Submitted(typed)) {
            const uint32_t wrong = data->wrongPasswords.Count();
            LogEvent("Wrong password (" + std::to_string(wrong) + " since arming)");
            if (wrong == WRONG_PASSWORDS_FOR_ALARM)
                StartAlarm(data->alarm, AlarmCause::WrongPasswords);
        }
        return TRUE;
    }
    // Posted while armed, from the hooks, the callback edge and the audio
    // notices; one still queued at the unlock finds the guard disarmed.
    case WM_ENDSESSION:
        // "Sign out anyway": the process ends in a few seconds, whatever the
        // guard refused. The owner's phone is told now; the next sign-in
        // starts the program again from the Run key.
        if (data && wParam && GuardArmed()) {
            LogEvent("The session ends while armed");
            if (data->config.flags & FLAG_TRIGGER_SHUTDOWN)
                StartAlarm(data->alarm, AlarmCause::ShutdownOrLogOff);
            SendStoppedWhileArmedPush(data->config.push, STOPPED_PUSH_WAIT_MS);
        }
        return TRUE;
    case ALARM_MESSAGE_START:
        if (data && GuardArmed())
            StartAlarm(data->alarm, static_cast<AlarmCause>(wParam));
        return TRUE;
    case ALARM_MESSAGE_ENDPOINT_CHANGED:
        if (data && data->alarm.sirenSounding)
            GetVolumeGuard().ReforceEndpoint();
        return TRUE;
    case ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED:
        if (data && GuardArmed())
            FollowDefaultDevice(data->alarm);
        return TRUE;
    default:
        return FALSE;
    }
}

// TRUE on a failure, so that no default handling (a close, a session end) runs.
const DLGPROC GuardDialogProc = ProcedureAtEdge<INT_PTR, GuardDialogProcBody, TRUE>;

}  // namespace

GuardEnd RunGuardDialog(const GuardConfig& config) noexcept
{
    GuardDialogData data(config);
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GUARD), nullptr,
                                           GuardDialogProc, reinterpret_cast<LPARAM>(&data));
    if (result == GUARD_RESULT_NO_SOUND)
        return {GuardEnd::NoSound, nullptr};
    if (result == GUARD_RESULT_REFUSED)
        return {GuardEnd::Refused, data.refusedCall};
    if (result == -1) {
        LogFailedCall("DialogBoxParamW (the guard)", GetLastError());
        return {GuardEnd::Refused, "DialogBoxParamW"};
    }
    return {GuardEnd::Unlocked, nullptr};
}
