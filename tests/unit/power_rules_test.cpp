#include <gtest/gtest.h>

#include "guard/power_rules.h"

TEST(PowerRulesTest, BatteryLowOnlyOnBatteryAtTenPercentOrLess)
{
    const struct {
        uint8_t acLine;
        uint8_t percent;
        bool low;
    } cases[] = {
        {0, 10, true}, {0, 0, true}, {0, 11, false}, {1, 5, false}, {255, 5, false}, {0, 255, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BatteryLow(c.acLine, c.percent), c.low) << int(c.acLine) << " " << int(c.percent);
}
