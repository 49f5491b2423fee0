#include "guard/alarm.h"

#include <string>

#include "win32/event_log.h"

bool GuardAlarm::Begin(AlarmCause cause)
{
    if (sirenSounding)
        return false;
    sirenSounding = true;
    LogEvent(std::string("Alarm: ") + AlarmCauseText(cause));
    return true;
}
