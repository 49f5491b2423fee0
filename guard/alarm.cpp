#include "guard/alarm.h"

bool GuardAlarm::Begin()
{
    if (sirenSounding)
        return false;
    sirenSounding = true;
    return true;
}
