// What the guard tells the owner's log at arming; the alarm's line names its
// cause in AlarmCauseText's words (guard/alarm_cause.h).
#pragma once

#include <cstdint>
#include <string>

// "Armed; triggers: power cable, USB mouse" (or "none": only a switch of
// desktop then sounds).
std::string ArmedEventText(uint32_t flags);
