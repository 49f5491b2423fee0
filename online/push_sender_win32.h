// The owner's push messages over the real machine (the rules are in
// online/push_notice.h). Each call below takes the event's time and the
// computer's name, notes the message in the registry value PushWaiting
// (online/push_waiting.h) and hands it to a thread of its own, one per
// message: no siren, hook or guard tick ever waits for the network. That
// thread tries the message on the schedule until it is taken or an unlock
// drops it, logs each try and its outcome, and then takes the message off
// PushWaiting. First tries go out in the order the messages came.
// With no valid "NotifyUrl", nothing is sent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "online/push_notice.h"

// At start-up, before any other message: what an earlier run left waiting
// goes out first, each marked with its first time.
void ResendWaitingPushes(const PushTarget& target) noexcept;
// action runs once, on whatever thread, as soon as no message waits any more
// (at once when none does; one action at a time). After ResendWaitingPushes.
void WhenNoPushWaits(void (*action)()) noexcept;

// At the alarm's start. causeText: why, one phrase without a full stop.
void QueueAlarmPush(const PushTarget& target, const std::string& causeText) noexcept;
// At unlock: every message still waiting gets one last try and is then
// dropped; the disarmed message goes out. sirenSeconds: how long the siren
// sounded, none when it never started.
void QueueUnlockPush(const PushTarget& target, std::optional<int64_t> sirenSeconds, uint32_t wrongPasswords) noexcept;
// A message made of the computer's name and the time alone: GiveBackPush at
// start-up, when a crashed armed process's changes were given back, or
// BatteryLowPush while armed on a nearly empty battery. what: its name in the
// log, should it be lost.
using PlainPush = PushMessage (*)(const std::string& computer, const LocalTime& time);
void QueuePlainPush(const PushTarget& target, PlainPush make, const char* what) noexcept;
// A photo of the alarm: kept in %LOCALAPPDATA%\Kestrova\photos (the newest
// PHOTOS_KEPT, and every one still waiting) and sent as a message that
// names its file.
void QueuePhotoPush(const PushTarget& target, const std::string& causeText, const std::string& jpeg) noexcept;
// "No photo: <reason>".
void QueueNoPhotoPush(const PushTarget& target, const std::string& reason) noexcept;
// A kept photo's bytes; false, with the system's error left, when there are none.
bool ReadPhoto(const std::string& name, std::string& jpeg);

// When the session ends while armed: waits at most timeoutMs for the message
// to be taken (no unlock can drop it while the guard thread waits here); one
// not taken by then waits in PushWaiting for the next start.
void SendStoppedWhileArmedPush(const PushTarget& target, unsigned timeoutMs) noexcept;

// The settings dialog's test: one try of the test message to the target, on
// a thread of its own. Its outcome is posted to window as message, with a
// PushOutcome made by new in lParam that the window then owns. False when
// the thread could not be started.
bool StartPushTest(HWND window, UINT message, const PushTarget& target) noexcept;

// One POST of the message, waiting for the server's answer
// (online/push_post_win32.cpp, apart: winhttp.h and wininet.h do not mix).
PushOutcome PostPush(const PushTarget& target, const PushMessage& message);
