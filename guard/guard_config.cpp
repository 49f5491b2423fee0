#include "guard/guard_config.h"

GuardConfig GuardConfigFrom(const Settings& settings, const std::string& pushToken)
{
    GuardConfig config;
    config.flags = settings.flags;
    config.sensitivity = settings.sensitivity;
    config.password = settings.GetPassword();
    config.account = ServiceAccountOf(settings);
    config.push = PushTarget{settings.notifyKind, settings.GetNotifyUrl(), pushToken};
    return config;
}
