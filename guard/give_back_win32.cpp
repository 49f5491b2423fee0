#include "guard/give_back_win32.h"

#include <windows.h>
#include <shlwapi.h>

#include <new>
#include <string>

#include "win32/event_log.h"
#include "win32/event_log_win32.h"
#include "win32/program_path_win32.h"
#include "guard/volume_guard_win32.h"

static_assert(REGISTRY_TYPE_BINARY == REG_BINARY, "REG_BINARY");

namespace {

constexpr wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// A name of its own: Task Manager's startup switch, kept by value name, turns
// off the owner's "Kestrova" without turning off this one.
constexpr wchar_t AUTOSTART_VALUE[] = L"Kestrova (armed)";

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
        LogIfFalse(SystemParametersInfoW(set, sizeof parameters, &parameters, 0),
                   "SystemParametersInfoW (an accessibility shortcut)");
    });
}

void RemoveAutostart() noexcept
{
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, AUTOSTART_VALUE);
    if (status != ERROR_FILE_NOT_FOUND)
        LogIfError(status, "RegDeleteKeyValueW (the Run value)");
    // An earlier version's guard wrote "Kestrova" without /tray; the owner's
    // value has it.
    wchar_t old[1024] = {};
    DWORD size = sizeof old - sizeof old[0];
    if (RegGetValueW(HKEY_CURRENT_USER, RUN_KEY, L"Kestrova", RRF_RT_REG_SZ, nullptr, old, &size) == ERROR_SUCCESS &&
        !StrStrIW(old, L"/tray"))
        LogIfError(RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, L"Kestrova"), "RegDeleteKeyValueW (an old Run value)");
}

bool GiveBackLeftOverRecord() noexcept
{
    try {
        GiveBackMachine machine;
        if (!machine.key.key)
            return false;
        return GiveBackLeftOver(*machine.key.key, *machine.power, [](const GiveBackRecord& record) {
            SetShortcutHotKeys(record.shortcuts, true);
            // The sound, by a mixer and an endpoint of its own.
            VolumeGuard(CreateWinmmMixerDevice(), CreateCoreAudioEndpoint()).GiveBack(record.volume);
        });
    } catch (const std::bad_alloc&) {
        // Out of memory at start-up: what is not given back yet stays as it is.
        return false;
    }
}

std::unique_ptr<GiveBackMachine> SaveAndChangeForArming(VolumeGuard& volume) noexcept
{
    std::unique_ptr<GiveBackMachine> machine;  // kept whatever throws: it may hold a record
    try {
        machine = std::make_unique<GiveBackMachine>();
        GiveBackKeeper& keeper = machine->keeper;
        // The listener is in place before the first forcing reads a value.
        volume.SetSavedListener([&keeper](const VolumeRecord& saved) { keeper.VolumeSaved(saved); });
        const ShortcutsCleared on = ShortcutHotKeysOn();
        // Whether or not the record can be written, a kill should still reach
        // the owner's phone at the next sign-in. Before the record: the Run
        // value lives in the same hive, the user's, and reaches the disk with
        // the record's flush, before anything changes.
        if (const std::wstring command = QuotedProgramPath(); !command.empty())
            LogIfError(RegSetKeyValueW(HKEY_CURRENT_USER, RUN_KEY, AUTOSTART_VALUE, REG_SZ, command.c_str(),
                                       DWORD((command.size() + 1) * sizeof(wchar_t))),
                       "RegSetKeyValueW (the Run value)");
        if (keeper.Arm(on))
            SetShortcutHotKeys(on, false);
        else
            LogEvent("Armed without holding the lid, the buttons, sleep and the shortcuts: "
                     "their give-back record could not be written.");
    } catch (const std::bad_alloc&) {
        // Out of memory: arming goes on, the guard matters more than what it
        // would give back.
    }
    return machine;
}

void GiveBackAtUnlock(GiveBackMachine* machine) noexcept
{
    if (!machine)
        return;
    try {
        GiveBackKeeper& keeper = machine->keeper;
        SetShortcutHotKeys(keeper.ClearedShortcuts(), true);
        keeper.Unlock();
        RemoveAutostart();
    } catch (const std::bad_alloc&) {
        // Out of memory: the unlock goes on; the owner's desktop matters
        // more than the rest of the give-back.
    }
}
