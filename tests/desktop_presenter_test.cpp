// Where the 640 x 480 picture goes in a window or screen of any size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sdl/presenter.h"

namespace {

using platform::sdl::letterbox;
using platform::sdl::Rect;

TEST(DesktopPresenter, LetterboxKeepsTheShapeCentredInside) {
    struct Case {
        int outW, outH;
        bool integer;
        Rect expected;
    };
    const Case cases[] = {
        {640, 480, true, {0, 0, 640, 480}},
        {1920, 1080, false, {240, 0, 1440, 1080}},  // wide screen: bars left and right
        {1920, 1080, true, {320, 60, 1280, 960}},   // whole steps: twice the size, centred
        {1280, 1024, false, {0, 32, 1280, 960}},    // 5:4 screen: bars above and below
        {2560, 1440, true, {320, 0, 1920, 1440}},   // three times fits exactly in height
        {800, 600, true, {80, 60, 640, 480}},
        {800, 600, false, {0, 0, 800, 600}},
        {801, 600, false, {0, 0, 800, 600}},  // an odd pixel of margin goes to the right
        {1000, 500, false, {167, 0, 666, 500}},
        {320, 240, true, {0, 0, 320, 240}},  // smaller than the picture: smooth fit
        {321, 1000, false, {0, 380, 321, 240}},
        {0, 480, false, {0, 0, 0, 0}},
        {640, -1, true, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const Rect r = letterbox(c.outW, c.outH, 640, 480, c.integer);
        EXPECT_EQ(r, c.expected) << c.outW << "x" << c.outH << (c.integer ? " integer" : " smooth") << ": got " << r.x
                                 << "," << r.y << " " << r.w << "x" << r.h;
    }
    for (int w = 1; w <= 2000; w += 37) {
        for (int h = 1; h <= 1500; h += 29) {
            for (bool integer : {false, true}) {
                const Rect r = letterbox(w, h, 640, 480, integer);
                ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= w && r.y + r.h <= h) << w << "x" << h;
                // One side touches the output edges unless whole steps leave a margin.
                if (!integer || w < 640 || h < 480)
                    ASSERT_TRUE(r.w == w || r.h == h) << w << "x" << h;
                else
                    ASSERT_EQ(r.w % 640, 0) << w << "x" << h;
                ASSERT_LE(std::abs((w - r.w) - 2 * r.x), 1);
                ASSERT_LE(std::abs((h - r.h) - 2 * r.y), 1);
            }
        }
    }
}

}  // namespace
