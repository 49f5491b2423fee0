#include "guard/give_back_win32.h"

#include <windows.h>

#include <new>

#include "win32/event_log.h"
#include "guard/accessibility_win32.h"
#include "guard/autostart_win32.h"
#include "guard/give_back.h"
#include "guard/power_actions_win32.h"
#include "guard/volume_guard_win32.h"
#include "settings/registry_store_win32.h"

static_assert(REGISTRY_TYPE_BINARY == REG_BINARY, "REG_BINARY");

namespace {

// A key handle of its own on the settings key: the settings record's handle
// is closed at the save at exit, which may come while the guard still runs.
struct GiveBackMachine {
    OpenedKey key = CreateSettingsRegistryStore()->OpenOrCreate();
    PowrprofPowerStore power;
    GiveBackKeeper keeper{key.key.get(), power};
};

GiveBackMachine& Machine()
{
    // Never destroyed: the guard thread may use it until the process ends.
    static GiveBackMachine* machine = new GiveBackMachine();
    return *machine;
}

}  // namespace

bool GiveBackLeftOverRecord() noexcept
{
    try {
        GiveBackMachine& machine = Machine();
        if (!machine.key.key)
            return false;
        return GiveBackLeftOver(*machine.key.key, machine.power, [](const GiveBackRecord& record) {
            SetShortcutHotKeys(record.shortcuts, true);
            GiveBackLeftOverSound(record.volume);
        });
    } catch (const std::bad_alloc&) {
        // Out of memory at start-up: what is not given back yet stays as it is.
        return false;
    }
}

void SaveAndChangeForArming(VolumeGuard& volume) noexcept
{
    try {
        GiveBackMachine& machine = Machine();
        // The listener is in place before the first forcing reads a value.
        volume.SetSavedListener(
            [&machine](const VolumeRecord& saved) { machine.keeper.VolumeSaved(saved); });
        const ShortcutsCleared on = ShortcutHotKeysOn();
        const bool recorded = machine.keeper.Arm(on);
        // Whether or not the record could be written, a kill should still
        // reach the owner's phone at the next sign-in.
        AddAutostart();
        if (recorded)
            SetShortcutHotKeys(on, false);
        else
            LogEvent("Armed without holding the lid, the buttons, sleep and the shortcuts: "
                     "their give-back record could not be written.");
    } catch (const std::bad_alloc&) {
        // Out of memory: arming goes on, the guard matters more than what it
        // would give back.
    }
}

void GiveBackAtUnlock() noexcept
{
    try {
        GiveBackKeeper& keeper = Machine().keeper;
        SetShortcutHotKeys(keeper.ClearedShortcuts(), true);
        keeper.Unlock();
        RemoveAutostart();
    } catch (const std::bad_alloc&) {
        // Out of memory: the unlock goes on; the owner's desktop matters
        // more than the rest of the give-back.
    }
}
