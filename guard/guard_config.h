// What the guard needs of the settings, copied at lock: the guard thread
// reads only its copy, so the owner's record stays the main thread's own.
#pragma once

#include <cstdint>
#include <string>

#include "online/push_notice.h"
#include "online/service_protocol.h"
#include "settings/settings.h"

struct GuardConfig {
    uint32_t flags = 0;  // the flag word at lock: the triggers ticked, the SMS service
    int32_t sensitivity = DEFAULT_SENSITIVITY;
    std::u16string password;
    ServiceAccount account;  // the alarm's SMS notice
    PushTarget push;         // the push messages; an empty address sends none
    bool takePhotos = false;  // with each alarm, to the push address
};
