#include "guard/accessibility_win32.h"

#include <windows.h>

#include "win32/event_log_win32.h"

namespace {

// Each shortcut's structure keeps its size first and its flags second.
template <class Parameters>
bool FlagOn(UINT get, DWORD flag)
{
    Parameters parameters = {};
    parameters.cbSize = sizeof parameters;
    return SystemParametersInfoW(get, sizeof parameters, &parameters, 0) && (parameters.dwFlags & flag) != 0;
}

template <class Parameters>
void SetFlag(UINT get, UINT set, DWORD flag, bool on)
{
    Parameters parameters = {};
    parameters.cbSize = sizeof parameters;
    if (!SystemParametersInfoW(get, sizeof parameters, &parameters, 0))
        return;
    parameters.dwFlags = on ? (parameters.dwFlags | flag) : (parameters.dwFlags & ~flag);
    // No SPIF_UPDATEINIFILE: the owner's stored choice stays as it is.
    if (!SystemParametersInfoW(set, sizeof parameters, &parameters, 0))
        LogFailedCall("SystemParametersInfoW (an accessibility shortcut)", GetLastError());
}

}  // namespace

ShortcutsCleared ShortcutHotKeysOn() noexcept
{
    ShortcutsCleared on = {};
    on[SHORTCUT_STICKY_KEYS] = FlagOn<STICKYKEYS>(SPI_GETSTICKYKEYS, SKF_HOTKEYACTIVE);
    on[SHORTCUT_FILTER_KEYS] = FlagOn<FILTERKEYS>(SPI_GETFILTERKEYS, FKF_HOTKEYACTIVE);
    on[SHORTCUT_TOGGLE_KEYS] = FlagOn<TOGGLEKEYS>(SPI_GETTOGGLEKEYS, TKF_HOTKEYACTIVE);
    return on;
}

void SetShortcutHotKeys(const ShortcutsCleared& which, bool active) noexcept
{
    if (which[SHORTCUT_STICKY_KEYS])
        SetFlag<STICKYKEYS>(SPI_GETSTICKYKEYS, SPI_SETSTICKYKEYS, SKF_HOTKEYACTIVE, active);
    if (which[SHORTCUT_FILTER_KEYS])
        SetFlag<FILTERKEYS>(SPI_GETFILTERKEYS, SPI_SETFILTERKEYS, FKF_HOTKEYACTIVE, active);
    if (which[SHORTCUT_TOGGLE_KEYS])
        SetFlag<TOGGLEKEYS>(SPI_GETTOGGLEKEYS, SPI_SETTOGGLEKEYS, TKF_HOTKEYACTIVE, active);
}
