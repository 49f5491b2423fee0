#include "guard/give_back_win32.h"

#include <windows.h>

#include <new>

#include "win32/event_log.h"
#include "guard/accessibility_win32.h"
#include "guard/autostart_win32.h"
#include "guard/volume_guard_win32.h"
#include "settings/registry_store_win32.h"

static_assert(REGISTRY_TYPE_BINARY == REG_BINARY, "REG_BINARY");

GiveBackMachine::GiveBackMachine() : key(CreateSettingsRegistryStore()->OpenOrCreate()) {}

bool GiveBackLeftOverRecord() noexcept
{
    try {
        GiveBackMachine machine;
        if (!machine.key.key)
            return false;
        return GiveBackLeftOver(*machine.key.key, *machine.power, [](const GiveBackRecord& record) {
            SetShortcutHotKeys(record.shortcuts, true);
            GiveBackLeftOverSound(record.volume);
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
        const bool recorded = keeper.Arm(on);
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
