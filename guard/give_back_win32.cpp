#include "guard/give_back_win32.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "win32/event_log.h"
#include "guard/accessibility_win32.h"
#include "guard/autostart_win32.h"
#include "guard/endpoint_volume_win32.h"
#include "guard/give_back.h"
#include "guard/mixer_win32.h"
#include "guard/power_actions_win32.h"
#include "guard/volume_guard_win32.h"
#include "settings/registry_store_win32.h"

static_assert(REGISTRY_TYPE_BINARY == REG_BINARY, "REG_BINARY");

namespace {

struct MixerControl {
    uint32_t line;
    uint32_t control;
};

// In the order of MixerValue.
const MixerControl MIXER_CONTROLS[MIXER_VALUE_COUNT] = {
    {MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_VOLUME},
    {MASTER_LINE, MIXERCONTROL_CONTROLTYPE_VOLUME},
    {MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERCONTROL_CONTROLTYPE_MUTE},
    {MASTER_LINE, MIXERCONTROL_CONTROLTYPE_MUTE},
};

// The sound after a crash: the process's VolumeGuard is not made for this
// (a mixer that will not open ends the process), so a mixer of its own.
void GiveBackMixer(const std::array<SavedWord, MIXER_VALUE_COUNT>& values)
{
    COrvekMixer mixer(std::make_unique<WinmmMixerDevice>());
    if (!mixer.IsOpen())
        return;  // no mixer now: nothing of it to give back
    for (size_t i = 0; i < MIXER_VALUE_COUNT; ++i)
        if (values[i].saved) {
            mixer.SelectControl(MIXER_CONTROLS[i].line, MIXER_CONTROLS[i].control);
            mixer.SetValue(values[i].value);
        }
}

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
            const auto& mixer = record.volume.mixer;
            if (std::any_of(mixer.begin(), mixer.end(), [](const SavedWord& word) { return word.saved; }))
                GiveBackMixer(mixer);
            for (const SavedEndpointVolume& saved : record.volume.endpoints) {
                // Reached by its id, whether or not it is the default one now.
                CoreAudioEndpoint endpoint;
                if (!endpoint.AttachTo(saved.id))
                    continue;
                if (saved.volumeSaved)
                    endpoint.SetVolume(saved.volume);
                if (saved.muteSaved)
                    endpoint.SetMute(saved.muted);
            }
        });
    } catch (const std::bad_alloc&) {
        // Out of memory at start-up: what is not given back yet stays as it is.
        return false;
    }
}

void SaveAndChangeForArming() noexcept
{
    try {
        GiveBackMachine& machine = Machine();
        // The listener is in place before the first forcing reads a value.
        VolumeGuard& volume = GetVolumeGuard();
        volume.SetSavedListener([&machine, &volume] {
            VolumeRecord record;
            record.mixer = volume.SavedMixer();
            record.endpoints = volume.SavedEndpoints();
            machine.keeper.VolumeSaved(record);
        });
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
