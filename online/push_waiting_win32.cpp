// The messages not yet taken, in the program's key beside the settings.
#include <windows.h>

#include "online/push_sender_win32.h"
#include "settings/registry_store_win32.h"
#include "win32/event_log.h"
#include "win32/event_log_win32.h"

namespace {

constexpr char PUSH_WAITING_VALUE[] = "PushWaiting";

}  // namespace

std::vector<WaitingPush> LoadPushWaiting()
{
    const OpenedKey opened = CreateSettingsRegistryStore()->OpenOrCreate();
    if (!opened.key)
        return {};
    // One byte more than any value written: a longer one does not read, and
    // the first save of this run replaces it.
    const std::optional<RegistryValue> value =
        opened.key->Read(PUSH_WAITING_VALUE, PUSH_WAITING_MAX_BYTES + 1, TextWidth::Wide);
    if (!value)
        return {};
    std::optional<std::vector<WaitingPush>> waiting;
    if (value->type == REG_BINARY)
        waiting = DecodePushWaiting(value->bytes);
    if (waiting)
        return std::move(*waiting);
    LogEvent("Push: the value PushWaiting could not be read; deleted");
    if (!opened.key->Delete(PUSH_WAITING_VALUE))
        LogEvent("Push: the value PushWaiting could not be deleted");
    return {};
}

void SavePushWaiting(const std::vector<WaitingPush>& waiting)
{
    const OpenedKey opened = CreateSettingsRegistryStore()->OpenOrCreate();
    if (!opened.key)
        return;
    if (waiting.empty()) {
        if (!opened.key->Delete(PUSH_WAITING_VALUE))
            LogEvent("Push: the value PushWaiting could not be deleted");
        return;
    }
    const RegistryValue value{REG_BINARY, EncodePushWaiting(waiting)};
    if (const uint32_t error = opened.key->Write(PUSH_WAITING_VALUE, value, TextWidth::Wide))
        LogFailedCall("RegSetValueExW", error);
}
