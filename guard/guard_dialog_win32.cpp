#include "guard/guard_dialog_win32.h"

#include <windows.h>

#include <dbt.h>
#include <wtsapi32.h>

#include <array>
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
#include "guard/input_hooks_win32.h"
#include "guard/power_notices_win32.h"
#include "guard/volume_guard_win32.h"
#include "online/push_sender_win32.h"
#include "resource_ids.h"
#include "settings/settings.h"

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

// What one guard dialog keeps between its messages.
struct GuardDialogData {
    explicit GuardDialogData(const GuardConfig& config) : config(config) {}
    const GuardConfig& config;  // the guard thread's copy of the settings
    ScopedDeviceNotice deviceNotice;
    bool guardDesktopSeen = false;  // the guard's desktop has had the input since arming
    PowerNotices powerNotices;
    bool lidStateKnown = false;
    uint32_t wrongPasswords = 0;  // for the owner's disarmed message and log
    SessionNotices sessionNotices;
    ScopedWinEvent desktopSwitch;
};

// The one guard dialog, for the desktop-switch event, which names no window
// of ours. Set and read on the guard thread only.
HWND guardDialog = nullptr;

// Out of context, so it runs on the guard thread, from the dialog's message
// loop, as soon as the switch is announced: judged at once, not at the next
// tick.
void CALLBACK DesktopSwitched(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) noexcept
{
    AtCallbackEdge([] {
        if (guardDialog)
            SendMessageW(guardDialog, GUARD_MESSAGE_DESKTOP_SWITCHED, 0, 0);
    });
}

class Win32GuardPlatform : public GuardPlatform {
public:
    explicit Win32GuardPlatform(LPARAM lParam) : lParam_(lParam) {}

    uint8_t AcLineStatus() override
    {
        SYSTEM_POWER_STATUS status = {};
        GetSystemPowerStatus(&status);
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

// The dialog's result when the sound could not be set up at arming.
constexpr INT_PTR GUARD_RESULT_NO_SOUND = 3;

constexpr GUID HID_CLASS_GUID = GuidFromBytes(HID_INTERFACE_CLASS);
constexpr wchar_t SHUTDOWN_BLOCK_REASON[] = L"Kestrova alarm is armed";

HDEVNOTIFY RegisterHidNotice(HWND dialog)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;  // 32
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = HID_CLASS_GUID;
    return RegisterDeviceNotificationW(dialog, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
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
    // What arming changes on the machine is saved before it changes.
    SaveAndChangeForArming();
    Settings& settings = GetSettings();
    SYSTEM_POWER_STATUS power = {};
    GetSystemPowerStatus(&power);
    settings.lastAcLineStatus = power.ACLineStatus;
    Arm(settings);
    LogEvent(ArmedEventText(settings.flags.load()));
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
    guardDialog = dialog;
    data.desktopSwitch.Reset(SetWinEventHook(EVENT_SYSTEM_DESKTOPSWITCH, EVENT_SYSTEM_DESKTOPSWITCH, nullptr,
                                             DesktopSwitched, 0, 0, WINEVENT_OUTOFCONTEXT));
    if (!data.desktopSwitch)
        LogFailedCall("SetWinEventHook", GetLastError());
    // Kept beside the event: a switch whose event never comes is still seen.
    SetTimer(dialog, IDT_GUARD_WATCH, 100, nullptr);
}

void Unlock(HWND dialog, GuardDialogData& data, WORD id)
{
    Settings& settings = GetSettings();
    Disarm(settings);
    StopAlarm(settings);
    data.deviceNotice.Reset();
    data.powerNotices.Unregister();
    data.sessionNotices.Unregister();
    data.desktopSwitch.Reset();
    guardDialog = nullptr;
    GetVolumeGuard().CloseMixer();
    GiveBackAtUnlock();
    QueueUnlockPush(data.config.push, data.wrongPasswords);
    SetThreadExecutionState(ES_CONTINUOUS);
    ShutdownBlockReasonDestroy(dialog);
    LogEvent(data.wrongPasswords == 0
                 ? std::string("Unlocked")
                 : "Unlocked after " + std::to_string(data.wrongPasswords) + " wrong password(s)");
    EndDialog(dialog, id);
}

bool PasswordTyped(HWND dialog)
{
    wchar_t buffer[PASSWORD_UNITS] = {};
    SendDlgItemMessageW(dialog, IDC_GUARD_PASSWORD, WM_GETTEXT, PASSWORD_UNITS, reinterpret_cast<LPARAM>(buffer));
    std::u16string typed;
    for (size_t i = 0; i < PASSWORD_UNITS && buffer[i]; ++i)
        typed.push_back(char16_t(buffer[i]));
    return PasswordMatches(ReadPasswordEdit(typed), GetSettings().password);
}

void CarryOut(uint32_t actions, AlarmCause cause, GuardDialogData* data)
{
    if ((actions & GUARD_ACTION_GUARD_DESKTOP_SEEN) && data)
        data->guardDesktopSeen = true;
    if ((actions & GUARD_ACTION_LID_STATE_KNOWN) && data)
        data->lidStateKnown = true;
    if (actions & GUARD_ACTION_START_ALARM)
        StartAlarm(GetSettings(), cause);
    // StartAlarm switches once, and only when it starts the siren.
    if ((actions & GUARD_ACTION_SWITCH_TO_GUARD) && !SwitchDesktop(GetThreadDesktop(GetCurrentThreadId())))
        LogFailedCall("SwitchDesktop", GetLastError());
    if (actions & GUARD_ACTION_RESTART_SOUND)
        RestartAlarmSound(GetSettings());
    if (actions & GUARD_ACTION_REFORCE_VOLUME) {
        VolumeGuard& volume = GetVolumeGuard();
        volume.ForceFullVolume();
        volume.Unmute();
    }
}

INT_PTR GuardDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    Settings& settings = GetSettings();
    auto* data = reinterpret_cast<GuardDialogData*>(GetWindowLongPtrW(dialog, DWLP_USER));
    GuardState state{settings.flags.load(), settings.sirenSounding.load(), settings.lastAcLineStatus};
    state.guardDesktopSeen = data && data->guardDesktopSeen;
    state.lidStateKnown = data && data->lidStateKnown;
    Win32GuardPlatform platform(lParam);
    const GuardDecision decision = FilterGuardMessage({message, wParam}, state, platform);
    CarryOut(decision.actions, decision.cause, data);
    if (decision.handled) {
        if (decision.setsResult)
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, decision.result);
        return TRUE;
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
        // A wrong password gives no message and no alarm; the owner is told
        // the count at unlock, and the log counts it (never what was typed).
        if (PasswordTyped(dialog))
            Unlock(dialog, *data, id);
        else
            LogEvent("Wrong password (" + std::to_string(++data->wrongPasswords) + " since arming)");
        return TRUE;
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK GuardDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return AtCallbackEdge(INT_PTR(TRUE), [&] { return GuardDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace

bool RunGuardDialog(const GuardConfig& config) noexcept
{
    GuardDialogData data(config);
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GUARD), nullptr, GuardDialogProc,
                           reinterpret_cast<LPARAM>(&data)) != GUARD_RESULT_NO_SOUND;
}
