#include "settings/settings.h"

#include <algorithm>

#include "settings/registry_key.h"
#include "settings/settings_codec.h"

Settings::Settings() : serviceUrl(KESTROVA_SERVICE_URL) {}

Settings::~Settings() = default;

std::string Settings::GetServerUser() const
{
    std::lock_guard<std::mutex> hold(accountLock);
    return serverUser;
}

std::string Settings::GetServerPass() const
{
    std::lock_guard<std::mutex> hold(accountLock);
    return serverPass;
}

void Settings::SetServerUser(const std::string& text)
{
    std::lock_guard<std::mutex> hold(accountLock);
    serverUser = text.substr(0, ACCOUNT_BYTES - 1);
}

void Settings::SetServerPass(const std::string& text)
{
    std::lock_guard<std::mutex> hold(accountLock);
    serverPass = text.substr(0, ACCOUNT_BYTES - 1);
}

void Settings::ClearAccount()
{
    std::lock_guard<std::mutex> hold(accountLock);
    serverUser.clear();
    serverUser.shrink_to_fit();
    serverPass.clear();
    serverPass.shrink_to_fit();
    notifyToken.clear();
    notifyToken.shrink_to_fit();
}

std::string Settings::GetNotifyUrl() const
{
    std::lock_guard<std::mutex> hold(accountLock);
    return notifyUrl;
}

std::string Settings::GetNotifyToken() const
{
    std::lock_guard<std::mutex> hold(accountLock);
    return notifyToken;
}

void Settings::SetNotifyUrl(const std::string& text)
{
    std::lock_guard<std::mutex> hold(accountLock);
    notifyUrl = text;
}

void Settings::SetNotifyToken(const std::string& text)
{
    std::lock_guard<std::mutex> hold(accountLock);
    notifyToken = text;
}

std::u16string Settings::GetPassword() const
{
    return std::u16string(password);
}

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

// Created by the main thread before any other thread starts.
std::unique_ptr<Settings>& Record()
{
    static std::unique_ptr<Settings> record;
    return record;
}

// A store whose key opens nowhere: the record then holds the defaults and
// saves nothing.
class NoRegistryStore : public RegistryStore {
public:
    OpenedKey OpenOrCreate() override { return {}; }
};

}  // namespace

Settings& LoadSettingsFrom(RegistryStore& store)
{
    std::unique_ptr<Settings>& record = Record();
    record = std::make_unique<Settings>();
    LoadSettings(*record, store);
    return *record;
}

Settings& GetSettings()
{
    if (!Record()) {
        NoRegistryStore nowhere;
        return LoadSettingsFrom(nowhere);
    }
    return *Record();
}

Settings* LoadedSettings() noexcept
{
    return Record().get();
}

void SaveSettings(Settings& settings)
{
    WriteSettings(settings);
}

void SaveSettingsAtSessionEnd(Settings& settings)
{
    WriteSettingValues(settings);
}

void DestroySettings()
{
    Record().reset();
}
