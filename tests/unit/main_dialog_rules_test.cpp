// The main dialog's trigger boxes: each sets and clears its own flag bit.
#include <gtest/gtest.h>

#include "app/main_dialog_rules.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

TEST(MainDialogRules, CheckBoxesSetAndClearOnlyTheirOwnBits)
{
    const bool allTicked[4] = {true, true, true, true};
    const bool noneTicked[4] = {false, false, false, false};
    const uint32_t triggers = FLAG_TRIGGER_POWER | FLAG_TRIGGER_USB_MOUSE | FLAG_TRIGGER_MOUSE_MOVE | FLAG_TRIGGER_SHUTDOWN;
    EXPECT_EQ(FlagsFromCheckBoxes(FLAG_SMS_SERVICE, allTicked), FLAG_SMS_SERVICE | triggers);
    EXPECT_EQ(FlagsFromCheckBoxes(0xFFFFFFFF, noneTicked), 0xFFFFFFA9u);  // 0x02, 0x04, 0x10 and 0x40 cleared

    const bool onlyMouseMove[4] = {false, false, true, false};
    EXPECT_EQ(FlagsFromCheckBoxes(DEFAULT_FLAGS, onlyMouseMove), 0x1E9u);  // 0x1FF less power, USB and shutdown
    EXPECT_EQ(TRIGGER_CHECK_BOXES[2].controlId, IDC_MAIN_TRIGGER_MOUSE_MOVE);
}

}  // namespace
