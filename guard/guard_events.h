// What the guard tells the owner's log: the arming with its triggers and
// each alarm with its cause. Texts only; LogEvent (app/event_log.h) writes.
#pragma once

#include <cstdint>
#include <string>

// Why an alarm started. Carried from the filter row, the mouse hook or the
// callback edge to StartAlarm, which logs it when it starts the siren.
enum class AlarmCause : uint8_t {
    Unknown,
    MouseMoved,
    DesktopSwitched,   // the input went to another desktop
    ShutdownAsked,     // a shutdown, restart or log-off
    SleepOrResume,
    LidClosed,
    PowerSource,       // the power cable pulled or plugged
    DeviceRemoved,     // a USB input device
    SessionChanged,
    CallbackFailure,   // a failure escaped a callback while armed
};

const char* AlarmCauseText(AlarmCause cause);

// "Armed; triggers: power cable, USB mouse" (or "none": only a switch of
// desktop then sounds).
std::string ArmedEventText(uint32_t flags);
