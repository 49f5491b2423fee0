#include "guard/siren_win32.h"

#include <windows.h>

#include <mmsystem.h>

#include "app/event_log_win32.h"
#include "resource_ids.h"

void StartSiren() noexcept
{
    if (!PlaySoundW(MAKEINTRESOURCEW(IDR_SIREN), GetModuleHandleW(nullptr), SND_RESOURCE | SND_LOOP | SND_ASYNC))
        LogFailedCall("PlaySoundW", GetLastError());
}

void StopSiren() noexcept
{
    PlaySoundW(nullptr, nullptr, 0);
}
