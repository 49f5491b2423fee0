#include "guard/power_rules.h"

bool BatteryLow(uint8_t acLineStatus, uint8_t batteryLifePercent)
{
    constexpr uint8_t OFFLINE = 0;
    constexpr uint8_t UNKNOWN = 255;
    return acLineStatus == OFFLINE && batteryLifePercent != UNKNOWN && batteryLifePercent <= 10;
}
