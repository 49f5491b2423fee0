#include "guard/accessibility_win32.h"

#include <windows.h>

#include "win32/event_log_win32.h"

namespace {

// Each shortcut's structure keeps its size first and its flags second.
template <class Visit>
void ForEachShortcut(Visit visit)
{
    visit(SHORTCUT_STICKY_KEYS, STICKYKEYS{}, SPI_GETSTICKYKEYS, SPI_SETSTICKYKEYS, DWORD(SKF_HOTKEYACTIVE));
    visit(SHORTCUT_FILTER_KEYS, FILTERKEYS{}, SPI_GETFILTERKEYS, SPI_SETFILTERKEYS, DWORD(FKF_HOTKEYACTIVE));
    visit(SHORTCUT_TOGGLE_KEYS, TOGGLEKEYS{}, SPI_GETTOGGLEKEYS, SPI_SETTOGGLEKEYS, DWORD(TKF_HOTKEYACTIVE));
}

}  // namespace

ShortcutsCleared ShortcutHotKeysOn() noexcept
{
    ShortcutsCleared on = {};
    ForEachShortcut([&on](Shortcut shortcut, auto parameters, UINT get, UINT, DWORD flag) {
        parameters.cbSize = sizeof parameters;
        on[shortcut] = SystemParametersInfoW(get, sizeof parameters, &parameters, 0) && (parameters.dwFlags & flag);
    });
    return on;
}

void SetShortcutHotKeys(const ShortcutsCleared& which, bool active) noexcept
{
    ForEachShortcut([&](Shortcut shortcut, auto parameters, UINT get, UINT set, DWORD flag) {
        parameters.cbSize = sizeof parameters;
        if (!which[shortcut] || !SystemParametersInfoW(get, sizeof parameters, &parameters, 0))
            return;
        parameters.dwFlags = active ? (parameters.dwFlags | flag) : (parameters.dwFlags & ~flag);
        // No SPIF_UPDATEINIFILE: the owner's stored choice stays as it is.
        if (!SystemParametersInfoW(set, sizeof parameters, &parameters, 0))
            LogFailedCall("SystemParametersInfoW (an accessibility shortcut)", GetLastError());
    });
}
