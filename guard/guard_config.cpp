#include "guard/guard_config.h"

GuardConfig GuardConfigFrom(const Settings& settings, const std::string& pushToken)
{
    return {settings.flags, settings.sensitivity, settings.GetPassword(), ServiceAccountOf(settings),
            PushTarget{settings.notifyKind, settings.GetNotifyUrl(), pushToken}, settings.takePhotos};
}
