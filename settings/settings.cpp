#include "settings/settings.h"

#include <algorithm>

#include "settings/registry_key.h"
#include "settings/settings_codec.h"

Settings::Settings() : serviceUrl(KESTROVA_SERVICE_URL) {}

Settings::~Settings() = default;

void Settings::SetPassword(const std::u16string& text)
{
    size_t length = std::min(text.size(), PASSWORD_UNITS - 1);
    size_t end = text.find(u'\0');
    if (end < length)
        length = end;
    std::fill(std::begin(password), std::end(password), u'\0');
    std::copy(text.begin(), text.begin() + length, password);
}

namespace {

struct GuardBridge {
    Settings* shared = nullptr;
    RegistryKey* key = nullptr;
    std::unique_ptr<Settings> loaded;  // LoadSettingsFrom's, for tests and probes
    std::unique_ptr<RegistryKey> loadedKey;
};

GuardBridge& Bridge()
{
    static GuardBridge bridge;
    return bridge;
}

}  // namespace

void ShareSettingsWithGuard(Settings* settings, RegistryKey* key) noexcept
{
    Bridge().shared = settings;
    Bridge().key = key;
}

Settings& LoadSettingsFrom(RegistryStore& store)
{
    GuardBridge& bridge = Bridge();
    bridge.loaded = std::make_unique<Settings>();
    bridge.loadedKey = LoadSettings(*bridge.loaded, store);
    ShareSettingsWithGuard(bridge.loaded.get(), bridge.loadedKey.get());
    return *bridge.loaded;
}

Settings& GetSettings()
{
    GuardBridge& bridge = Bridge();
    if (!bridge.shared) {
        bridge.loaded = std::make_unique<Settings>();
        bridge.shared = bridge.loaded.get();
    }
    return *bridge.shared;
}

void DestroySettings()
{
    ShareSettingsWithGuard(nullptr, nullptr);
    Bridge().loaded.reset();
    Bridge().loadedKey.reset();
}

void SaveSettings(Settings& settings)
{
    if (Bridge().key)
        WriteSettings(settings, *Bridge().key);
}
