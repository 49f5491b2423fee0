// The guard thread's alarm window: a message-only window through which the
// hooks and the endpoint's change notices reach the guard thread without
// waiting (see guard/alarm.h). Arm opens it on the guard thread, Disarm
// closes it.
#pragma once

#include <windows.h>

#include "guard/alarm_cause.h"

void OpenAlarmRelay() noexcept;
void CloseAlarmRelay() noexcept;
HWND AlarmRelayWindow() noexcept;  // null when closed
// Both only post; safe from a hook procedure and from any thread.
void PostAlarmStart(AlarmCause cause) noexcept;
void PostEndpointChanged() noexcept;

struct Settings;

// The alarm of guard/alarm.h over the real machine: the SMS service, the
// guard desktop, the volume guard and the siren.
void StartAlarm(Settings& settings, AlarmCause cause);
void StopAlarm(Settings& settings);
void FollowDefaultDevice(Settings& settings);
