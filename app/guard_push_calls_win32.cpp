// The guard's push calls as they stood, over the calls that take the cause's
// words and the siren's time. Goes when the guard makes those calls itself.
#include <windows.h>

#include <new>
#include <optional>
#include <string>

#include "guard/alarm_cause.h"
#include "online/push_sender_win32.h"
#include "win32/event_log.h"

namespace {

// When this arming's siren began (GetTickCount64); the guard thread's own.
std::optional<ULONGLONG> sirenStartMs;

}  // namespace

void QueueAlarmPush(const PushTarget& target, AlarmCause cause) noexcept
{
    sirenStartMs = GetTickCount64();
    try {
        QueueAlarmPush(target, std::string(AlarmCauseText(cause)));
    } catch (const std::bad_alloc&) {
        LogEvent("Push: the alarm message was lost (out of memory)");
    }
}

void QueueUnlockPush(const PushTarget& target, uint32_t wrongPasswords) noexcept
{
    std::optional<int64_t> sirenSeconds;
    if (sirenStartMs)
        sirenSeconds = int64_t((GetTickCount64() - *sirenStartMs) / 1000);
    sirenStartMs.reset();
    QueueUnlockPush(target, sirenSeconds, wrongPasswords);
}
