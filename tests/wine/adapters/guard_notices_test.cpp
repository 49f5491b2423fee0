// The guard's judgement of the notices WM_POWERBROADCAST and WM_DEVICECHANGE
// point to, built here as the system builds them: kdriver can only send the
// guard plain values.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>
#include <initguid.h>
#include <hidclass.h>

#include <cstddef>
#include <cstring>

#include "guard/guard_dialog_win32.h"
#include "settings/settings.h"

namespace {

struct PowerNotice {
    POWERBROADCAST_SETTING setting;
    BYTE room[4];  // Data holds one byte of its own
};

TEST(GuardNotices, APowerSettingSoundsOnlyForItsTriggersChange)
{
    SYSTEM_POWER_STATUS power = {};
    ASSERT_TRUE(GetSystemPowerStatus(&power));
    const BYTE now = power.ACLineStatus;
    const BYTE other = BYTE(now == 1 ? 0 : 1);
    constexpr uint32_t SHUTDOWN = FLAG_TRIGGER_SHUTDOWN, POWER = FLAG_TRIGGER_POWER, MOVE = FLAG_TRIGGER_MOUSE_MOVE;
    const GUID LID = GUID_LIDSWITCH_STATE_CHANGE, DISPLAY = GUID_CONSOLE_DISPLAY_STATE;
    const struct {
        const char* name;
        GUID setting;
        DWORD length, value;
        uint32_t flags;
        BYTE atArming;
        bool lidKnown;
        AlarmCause cause;
        bool lidKnownAfter;
    } cases[] = {
        {"lid, first notice, closed", LID, 4, 0, SHUTDOWN, now, false, AlarmCause::Unknown, true},
        {"lid closed", LID, 4, 0, SHUTDOWN, now, true, AlarmCause::LidClosed, true},
        {"lid closed without the trigger", LID, 4, 0, POWER, now, true, AlarmCause::Unknown, true},
        {"lid closed with the mouse-motion trigger alone", LID, 4, 0, MOVE, now, true, AlarmCause::LidClosed, true},
        {"display off with the mouse-motion trigger alone", DISPLAY, 4, 0, MOVE, now, true, AlarmCause::Unknown, true},
        {"lid opened", LID, 4, 1, SHUTDOWN, now, true, AlarmCause::Unknown, true},
        {"lid, no data", LID, 0, 0, SHUTDOWN, now, false, AlarmCause::Unknown, false},
        {"display off", DISPLAY, 4, 0, SHUTDOWN, now, false, AlarmCause::Sleep, false},
        {"display off without the trigger", DISPLAY, 4, 0, POWER, now, true, AlarmCause::Unknown, true},
        {"display dimmed", DISPLAY, 4, 2, SHUTDOWN, now, true, AlarmCause::Unknown, true},
        {"display, no data", DISPLAY, 3, 0, SHUTDOWN, now, true, AlarmCause::Unknown, true},
        {"power source changed", GUID_ACDC_POWER_SOURCE, 4, 1, POWER, other, true, AlarmCause::PowerSource, true},
        {"power source as at arming", GUID_ACDC_POWER_SOURCE, 4, 1, POWER, now, true, AlarmCause::Unknown, true},
        {"power source changed without the trigger", GUID_ACDC_POWER_SOURCE, 4, 1, SHUTDOWN, other, true,
         AlarmCause::Unknown, true},
        {"another setting", GUID_DEVINTERFACE_HID, 4, 0, POWER | SHUTDOWN, other, true, AlarmCause::Unknown, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PowerNotice notice = {};
        notice.setting.PowerSetting = c.setting;
        notice.setting.DataLength = c.length;
        std::memcpy(reinterpret_cast<BYTE*>(&notice) + offsetof(POWERBROADCAST_SETTING, Data), &c.value, 4);
        bool lidKnown = c.lidKnown;
        EXPECT_EQ(PowerSettingAlarm(notice.setting, c.flags, c.atArming, lidKnown), c.cause);
        EXPECT_EQ(lidKnown, c.lidKnownAfter);
    }
}

// Any HID interface's removal, a keyboard's as well as a mouse's; nothing
// else, and nothing from a notice too short to hold a class.
TEST(GuardNotices, OnlyTheRemovalOfAHidInterfaceCounts)
{
    DEV_BROADCAST_DEVICEINTERFACE_W hid = {};
    hid.dbcc_size = sizeof hid;
    hid.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    hid.dbcc_classguid = GUID_DEVINTERFACE_HID;
    const auto removed = [](const DEV_BROADCAST_DEVICEINTERFACE_W& notice, WPARAM event = DBT_DEVICEREMOVECOMPLETE) {
        return HidInterfaceRemoved(event, reinterpret_cast<LPARAM>(&notice));
    };
    EXPECT_TRUE(removed(hid));
    EXPECT_FALSE(HidInterfaceRemoved(DBT_DEVICEREMOVECOMPLETE, 0));
    for (WPARAM event : {WPARAM(DBT_DEVICEARRIVAL), WPARAM(DBT_DEVICEQUERYREMOVE), WPARAM(DBT_DEVICEREMOVEPENDING),
                         WPARAM(DBT_DEVNODES_CHANGED)})
        EXPECT_FALSE(removed(hid, event)) << event;
    for (DWORD type : {DBT_DEVTYP_OEM, DBT_DEVTYP_VOLUME, DBT_DEVTYP_PORT, DBT_DEVTYP_HANDLE}) {
        DEV_BROADCAST_DEVICEINTERFACE_W notice = hid;
        notice.dbcc_devicetype = type;
        EXPECT_FALSE(removed(notice)) << type;
    }
    for (size_t i = 0; i < sizeof(GUID); ++i) {
        DEV_BROADCAST_DEVICEINTERFACE_W notice = hid;
        reinterpret_cast<BYTE*>(&notice.dbcc_classguid)[i] ^= 1;
        EXPECT_FALSE(removed(notice)) << "class byte " << i;
    }
    DEV_BROADCAST_DEVICEINTERFACE_W shortNotice = hid;
    shortNotice.dbcc_size = sizeof(DEV_BROADCAST_HDR);
    EXPECT_FALSE(removed(shortNotice));
}

}  // namespace
