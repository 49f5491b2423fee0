// The desktop watch and the low battery.
#include <gtest/gtest.h>

#include "guard/guard_rules.h"

namespace {

TEST(GuardRules, TheDesktopWatchSoundsForAnyDesktopButTheGuardsOnceItWasSeen)
{
    const struct {
        bool opened;
        const char16_t* name;
        bool seen;
        DesktopWatch watch;
    } cases[] = {
        {false, u"", false, DesktopWatch::Sound},  // the secure desktop, before or after
        {false, u"Kestrova", true, DesktopWatch::Sound},
        {true, u"Kestrova", false, DesktopWatch::GuardSeen},
        {true, u"KESTROVA", false, DesktopWatch::GuardSeen},
        {true, u"Kestrova", true, DesktopWatch::Nothing},
        {true, u"Default", true, DesktopWatch::SoundSwitchBack},
        {true, u"Kestrov", true, DesktopWatch::SoundSwitchBack},
        {true, u"Kestrova2", true, DesktopWatch::SoundSwitchBack},
        {true, u"", true, DesktopWatch::SoundSwitchBack},  // a name that cannot be read
        // Wine names its one input desktop "Default" whatever was switched to.
        {true, u"Default", false, DesktopWatch::Nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.opened << " " << c.seen);
        EXPECT_EQ(WatchInputDesktop(c.opened, c.name, c.seen), c.watch);
    }
}

TEST(GuardRules, BatteryLowOnlyOnBatteryAtTenPercentOrLess)
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

}  // namespace
