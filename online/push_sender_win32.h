// The owner's push messages over the real machine (the rules are in
// online/push_notice.h). The Queue calls take the event's time and the
// computer's name, hand the message to a thread of its own and return: no
// siren, hook or guard tick ever waits for the network. That thread sends one
// message at a time and tries again on the schedule until the message is
// taken or an unlock drops it; each try and its outcome goes to the log.
// With no valid "NotifyUrl", nothing is queued.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "guard/alarm_cause.h"
#include "online/push_notice.h"

// At the alarm's start, on the guard thread; also notes when the siren began.
void QueueAlarmPush(const PushTarget& target, AlarmCause cause) noexcept;
// At unlock: every message still waiting gets one last try, then the
// disarmed message goes out, when something happened while armed.
void QueueUnlockPush(const PushTarget& target, uint32_t wrongPasswords) noexcept;
// At start-up, when a crashed armed process's changes were given back.
void QueueGiveBackPush(const PushTarget& target) noexcept;

// The settings dialog's test: one try of the test message to the target, on
// a thread of its own. Its outcome is posted to window as message, with a
// PushOutcome made by new in lParam that the window then owns. False when
// the thread could not be started.
bool StartPushTest(HWND window, UINT message, const PushTarget& target) noexcept;

// One POST of the message, waiting for the server's answer
// (online/push_post_win32.cpp).
PushOutcome PostPush(const PushTarget& target, const PushMessage& message);
