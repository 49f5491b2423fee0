#include "guard/accessibility_win32.h"

#include <windows.h>

#include "win32/event_log_win32.h"

namespace {

// Each shortcut's structure keeps its size first and its flags second.
template <class Parameters>
bool ReadFlags(UINT get, DWORD& flags)
{
    Parameters parameters = {};
    parameters.cbSize = sizeof parameters;
    if (!SystemParametersInfoW(get, sizeof parameters, &parameters, 0))
        return false;
    flags = parameters.dwFlags;
    return true;
}

template <class Parameters>
bool SetFlag(UINT get, UINT set, DWORD flag, bool on)
{
    Parameters parameters = {};
    parameters.cbSize = sizeof parameters;
    if (!SystemParametersInfoW(get, sizeof parameters, &parameters, 0))
        return false;
    parameters.dwFlags = on ? (parameters.dwFlags | flag) : (parameters.dwFlags & ~flag);
    // No SPIF_UPDATEINIFILE: the owner's stored choice stays as it is.
    if (SystemParametersInfoW(set, sizeof parameters, &parameters, 0))
        return true;
    LogFailedCall("SystemParametersInfoW (an accessibility shortcut)", GetLastError());
    return false;
}

}  // namespace

bool Win32AccessibilityStore::HotKeyActive(Shortcut shortcut, bool& active)
{
    DWORD flags = 0;
    bool read = false;
    DWORD flag = 0;
    switch (shortcut) {
    case SHORTCUT_STICKY_KEYS:
        read = ReadFlags<STICKYKEYS>(SPI_GETSTICKYKEYS, flags);
        flag = SKF_HOTKEYACTIVE;
        break;
    case SHORTCUT_FILTER_KEYS:
        read = ReadFlags<FILTERKEYS>(SPI_GETFILTERKEYS, flags);
        flag = FKF_HOTKEYACTIVE;
        break;
    case SHORTCUT_TOGGLE_KEYS:
        read = ReadFlags<TOGGLEKEYS>(SPI_GETTOGGLEKEYS, flags);
        flag = TKF_HOTKEYACTIVE;
        break;
    default:
        return false;
    }
    if (read)
        active = (flags & flag) != 0;
    return read;
}

bool Win32AccessibilityStore::SetHotKeyActive(Shortcut shortcut, bool active)
{
    switch (shortcut) {
    case SHORTCUT_STICKY_KEYS:
        return SetFlag<STICKYKEYS>(SPI_GETSTICKYKEYS, SPI_SETSTICKYKEYS, SKF_HOTKEYACTIVE, active);
    case SHORTCUT_FILTER_KEYS:
        return SetFlag<FILTERKEYS>(SPI_GETFILTERKEYS, SPI_SETFILTERKEYS, FKF_HOTKEYACTIVE, active);
    case SHORTCUT_TOGGLE_KEYS:
        return SetFlag<TOGGLEKEYS>(SPI_GETTOGGLEKEYS, SPI_SETTOGGLEKEYS, TKF_HOTKEYACTIVE, active);
    default:
        return false;
    }
}
