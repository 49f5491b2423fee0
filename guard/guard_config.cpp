#include "guard/guard_config.h"

GuardConfig GuardConfigFrom(const Settings& settings)
{
    return {settings.flags, settings.sensitivity, settings.GetPassword(), ServiceAccountOf(settings),
            PushTarget{settings.GetNotifyUrl(), settings.GetNotifyToken()}};
}
