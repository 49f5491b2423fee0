// Pictures scaled to the display: the common laptop scales, halves rounded
// up, and the fallback when the system gives no DPI.
#include <gtest/gtest.h>

#include "win32/display_scale.h"

namespace {

struct ScaleCase {
    uint32_t dpi;
    int32_t x, y;
    uint32_t width, height;
    PictureRect expected;
};

TEST(DisplayScale, PicturesAndTheirPlacesGrowWithTheDpi)
{
    const ScaleCase cases[] = {
        // The lock picture at (0, 0): 100 %, 125 %, 150 %, 175 %.
        {96, 0, 0, 756, 374, {0, 0, 756, 374}},
        {120, 0, 0, 756, 374, {0, 0, 945, 468}},  // 467.5 rounds up
        {144, 0, 0, 756, 374, {0, 0, 1134, 561}},
        {168, 0, 0, 756, 374, {0, 0, 1323, 655}},  // 654.5 rounds up
        // The warning picture at (5, 5): its far edge is scaled with its
        // place, so it ends where 107 + 5 ends.
        {120, 5, 5, 102, 107, {6, 6, 128, 134}},
        {144, 5, 5, 102, 107, {8, 8, 153, 160}},  // 160.5 - 7.5
        // No DPI from the system: drawn as at 96.
        {0, 5, 5, 102, 107, {5, 5, 102, 107}},
    };
    for (const ScaleCase& c : cases) {
        const PictureRect got = ScaledPicture(c.x, c.y, c.width, c.height, c.dpi);
        EXPECT_EQ(got.x, c.expected.x) << c.dpi;
        EXPECT_EQ(got.y, c.expected.y) << c.dpi;
        EXPECT_EQ(got.width, c.expected.width) << c.dpi << " " << c.width;
        EXPECT_EQ(got.height, c.expected.height) << c.dpi << " " << c.height;
    }
}

}  // namespace
