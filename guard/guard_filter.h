// What the guard dialog does with each message while the machine is armed,
// over plain values, so the decisions run and are tested without Windows.
// The dialog procedure translates the message, asks the platform what the
// decision needs, and carries out the actions it gets back.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "guard/alarm_cause.h"
#include "settings/settings.h"

// Message and parameter values the filter looks at (the Windows values).
constexpr uint32_t GUARD_WM_QUERYENDSESSION = 0x0011;
constexpr uint32_t GUARD_WM_SYSCOMMAND = 0x0112;
constexpr uint32_t GUARD_WM_TIMER = 0x0113;
constexpr uint32_t GUARD_WM_POWERBROADCAST = 0x0218;
constexpr uint32_t GUARD_WM_DEVICECHANGE = 0x0219;
constexpr uint32_t GUARD_MM_MIXM_LINE_CHANGE = 0x03D0;
constexpr uint32_t GUARD_MM_MIXM_CONTROL_CHANGE = 0x03D1;
constexpr uint32_t GUARD_WM_WTSSESSION_CHANGE = 0x02B1;
// Not a Windows message: the guard dialog's own, sent to itself when the
// desktop-switch event (EVENT_SYSTEM_DESKTOPSWITCH) comes, so the switch is
// judged at once rather than at the next tick.
constexpr uint32_t GUARD_MESSAGE_DESKTOP_SWITCHED = 0x8000 + 0x61;
constexpr uintptr_t GUARD_PBT_APMQUERYSUSPEND = 0;
constexpr uintptr_t GUARD_PBT_APMPOWERSTATUSCHANGE = 10;
constexpr uintptr_t GUARD_DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr uint32_t GUARD_DBT_DEVTYP_DEVICEINTERFACE = 5;
constexpr intptr_t GUARD_BROADCAST_QUERY_DENY = 0x424D5144;
constexpr uintptr_t GUARD_SC_SCREENSAVE = 0xF140;  // the low four bits of the command are the system's own

// WM_WTSSESSION_CHANGE's reasons the guard acts on.
constexpr uintptr_t GUARD_WTS_CONSOLE_CONNECT = 1;
constexpr uintptr_t GUARD_WTS_CONSOLE_DISCONNECT = 2;
constexpr uintptr_t GUARD_WTS_REMOTE_CONNECT = 3;
constexpr uintptr_t GUARD_WTS_REMOTE_DISCONNECT = 4;
constexpr uintptr_t GUARD_WTS_SESSION_UNLOCK = 8;

// The guard's own desktop, as CreateDesktopW is given it.
constexpr char16_t GUARD_DESKTOP_NAME[] = u"Kestrova";

// Which desktop has the input now.
enum class InputDesktop {
    Unreachable,  // none we may open: the secure desktop of Ctrl+Alt+Del, the lock screen
    Guard,        // the guard's own
    Other,        // one we may open but not ours: the owner's, after Task Manager
};

// The answer from whether the input desktop could be opened and, when it
// could, its name (desktop names compare without regard to case).
InputDesktop ClassifyInputDesktop(bool opened, std::u16string_view name);

// Sleep and the lid: a suspend that happens anyway, the resume from it, and
// the power-setting notices (the lid switch, the power source).
constexpr uintptr_t GUARD_PBT_APMSUSPEND = 4;
constexpr uintptr_t GUARD_PBT_APMRESUMESUSPEND = 7;
constexpr uintptr_t GUARD_PBT_APMRESUMEAUTOMATIC = 0x12;
constexpr uintptr_t GUARD_PBT_POWERSETTINGCHANGE = 0x8013;
constexpr uint32_t GUARD_LID_CLOSED = 0;
constexpr uint32_t GUARD_DISPLAY_OFF = 0;  // of GUID_CONSOLE_DISPLAY_STATE: 0 off, 1 on, 2 dimmed
// {BA3E0F4D-B817-4094-A2D1-D56379E6A0F3} and {5D3E9A59-E9D5-4B00-A6BD-FF34FF516548}
// as they lie in memory.
constexpr std::array<uint8_t, 16> LIDSWITCH_STATE_CHANGE = {0x4D, 0x0F, 0x3E, 0xBA, 0x17, 0xB8, 0x94, 0x40,
                                                            0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3};
constexpr std::array<uint8_t, 16> ACDC_POWER_SOURCE = {0x59, 0x9A, 0x3E, 0x5D, 0xD5, 0xE9, 0x00, 0x4B,
                                                       0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48};
// GUID_CONSOLE_DISPLAY_STATE {6FE69556-704A-47A0-8F24-C28D936FDA47}: on a
// Modern Standby laptop, where Sleep cannot be refused, the display going off
// while the guard holds it on is the sleep itself beginning.
constexpr std::array<uint8_t, 16> CONSOLE_DISPLAY_STATE = {0x56, 0x95, 0xE6, 0x6F, 0x4A, 0x70, 0xA0, 0x47,
                                                           0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47};

// A power-setting notice: which setting, and its first four data bytes when
// it carries that many.
struct PowerSettingNotice {
    std::array<uint8_t, 16> setting = {};
    bool hasValue = false;
    uint32_t value = 0;
};

// The HID device interface class {4D1E55B2-F16F-11CF-88CB-001111000030} as it
// lies in memory (the first three fields little-endian).
constexpr std::array<uint8_t, 16> HID_INTERFACE_CLASS = {0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                                                         0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};

// A device-change notice's header: its device type, and the class GUID when
// the type is a device interface (zeros otherwise).
struct DeviceNotice {
    uint32_t deviceType = 0;
    std::array<uint8_t, 16> classGuid = {};
};

// What the filter may ask of the platform. Each is asked only by the row that
// needs it, at most once per message.
class GuardPlatform {
public:
    virtual ~GuardPlatform() = default;
    // ACLineStatus of GetSystemPowerStatus now (0, 1 or 255).
    virtual uint8_t AcLineStatus() = 0;
    // Which desktop has the input: opened for switching, its name read, the
    // handle closed again at once.
    virtual InputDesktop WhichInputDesktop() = 0;
    // The removal notice of a WM_DEVICECHANGE.
    virtual DeviceNotice Notice() = 0;
    virtual bool IsMuted() = 0;
    virtual bool IsBelowFull() = 0;
    // The notice a PBT_POWERSETTINGCHANGE points to.
    virtual PowerSettingNotice PowerSetting() = 0;
};

// Actions the dialog carries out, in the order of the bits.
constexpr uint32_t GUARD_ACTION_START_ALARM = 0x1;
constexpr uint32_t GUARD_ACTION_REFORCE_VOLUME = 0x2;  // ForceFullVolume, then Unmute
constexpr uint32_t GUARD_ACTION_LID_STATE_KNOWN = 0x4;  // the first lid notice has come
// The input desktop watch: bring the guard desktop to the front again, and
// remember that the guard's desktop has been seen with the input.
constexpr uint32_t GUARD_ACTION_SWITCH_TO_GUARD = 0x8;
constexpr uint32_t GUARD_ACTION_GUARD_DESKTOP_SEEN = 0x10;
// The session has the console again: the system closed its audio streams
// while it had not, so the sounding siren starts again at forced volume.
constexpr uint32_t GUARD_ACTION_RESTART_SOUND = 0x20;

struct GuardDecision {
    uint32_t actions = 0;
    AlarmCause cause = AlarmCause::Unknown;  // with GUARD_ACTION_START_ALARM: why
    bool handled = false;    // the procedure returns TRUE
    bool setsResult = false; // the message result is stored first
    intptr_t result = 0;
};

struct GuardMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
};

struct GuardState {
    uint32_t flags = 0;
    bool sirenSounding = false;
    uint8_t lastAcLineStatus = 0;
    // The guard's desktop has had the input since this arming. Until then a
    // foreign input desktop proves nothing: the first switch may not have
    // happened yet.
    bool guardDesktopSeen = false;
    // The first lid notice after registering only reports the lid's state.
    bool lidStateKnown = false;
};

// The armed guard's answer to one message; nothing at all while FLAG_ARMED
// is clear.
GuardDecision FilterGuardMessage(const GuardMessage& message, const GuardState& state, GuardPlatform& platform);
