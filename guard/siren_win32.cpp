#include "guard/siren_win32.h"

#include <windows.h>

#include <mmsystem.h>

#include "resource_ids.h"

void StartSiren() noexcept
{
    PlaySoundW(MAKEINTRESOURCEW(IDR_SIREN), GetModuleHandleW(nullptr), SND_RESOURCE | SND_LOOP | SND_ASYNC);
}

void StopSiren() noexcept
{
    PlaySoundW(nullptr, nullptr, 0);
}
