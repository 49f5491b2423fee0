#include "guard/guard_config.h"

GuardConfig GuardConfigFrom(const Settings& settings)
{
    GuardConfig config;
    config.flags = settings.flags.load();
    config.sensitivity = settings.sensitivity.load();
    config.password = settings.GetPassword();
    config.account = ServiceAccount{settings.serviceUrl, settings.GetServerUser(), settings.GetServerPass()};
    config.push = PushTarget{settings.GetNotifyUrl(), settings.GetNotifyToken()};
    return config;
}
