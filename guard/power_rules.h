// Power decisions with edges of their own. Portable: no Windows headers.
#pragma once

#include <cstdint>

// GetSystemPowerStatus's ACLineStatus and BatteryLifePercent: on battery
// (offline) with 10 % or less left. 255 is "unknown" in both.
bool BatteryLow(uint8_t acLineStatus, uint8_t batteryLifePercent);
