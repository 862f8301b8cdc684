// Where frames go on the desktop: the 60 Hz schedule driven by a made-up clock
// (deadlines without drift, late passes absorbed, a machine that cannot keep up
// slowed down rather than bursting), and where the 640 x 480 picture goes in a
// window or screen of any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/sdl/pacer.h"
#include "platform/sdl/presenter.h"

namespace {

using platform::sdl::FramePacer;
using Nanos = FramePacer::Nanos;
using platform::sdl::letterbox;
using platform::sdl::Rect;

constexpr Nanos kSecond = FramePacer::kSecond;

TEST(DesktopPacing, PassNStartsAtOriginPlusNSixtiethsWhenLessThanAPeriodLate) {
    // A pass shown before its successor is due (a 75 or 144 Hz retrace), or after it by less
    // than a period (a presenter that takes a while), keeps the schedule: pass n may start at
    // origin + n/60 s, rounded down to the nanosecond, so rounding never piles up.
    for (Nanos origin : {Nanos(0), Nanos(123'456'789), 5 * kSecond + 7, -kSecond}) {
        for (Nanos lateness : {-kSecond / 75, Nanos(0), kSecond / 144, kSecond / 75, kSecond / 61}) {
            FramePacer pacer;
            pacer.start(origin);
            for (int n = 1; n <= 3600; ++n) {
                const Nanos due = origin + Nanos(n) * kSecond / 60;
                ASSERT_EQ(pacer.nextDeadline(due + lateness), due)
                    << "origin " << origin << " lateness " << lateness << " pass " << n;
            }
            EXPECT_EQ(pacer.restarts(), 0);
        }
    }
}

TEST(DesktopPacing, FallingBehindSlowsDownInsteadOfBursting) {
    for (Nanos passTime : {Nanos(25'000'000), Nanos(100'000'000), kSecond}) {
        FramePacer pacer;
        pacer.start(0);
        Nanos now = 0;
        for (int n = 0; n < 300; ++n) {
            now += passTime;  // the pass itself
            const Nanos deadline = pacer.nextDeadline(now);
            ASSERT_GE(deadline, now - kSecond / 60) << "pass " << n;
            now = std::max(now, deadline);
        }
        EXPECT_GT(pacer.restarts(), 0);
        // After the slow stretch ends, passes are paced again at once (no burst to catch up).
        const Nanos slowEnd = now;
        int burst = 0;
        for (int n = 0; n < 60; ++n) {
            const Nanos deadline = pacer.nextDeadline(now);
            burst += deadline <= now;
            now = std::max(now, deadline) + 1'000'000;  // a fast 1 ms pass
        }
        EXPECT_LE(burst, 1) << "pass time " << passTime;
        EXPECT_GE(now - slowEnd, 59 * kSecond / 60) << "pass time " << passTime;
    }
}

TEST(DesktopPacing, WithoutStartTheFirstShownPassIsTakenAsOnTime) {
    FramePacer pacer;
    const Nanos first = pacer.nextDeadline(kSecond);
    EXPECT_EQ(first, kSecond);
    EXPECT_EQ(pacer.nextDeadline(first), kSecond - kSecond / 60 + 2 * kSecond / 60);
}

TEST(DesktopPresenter, LetterboxKeepsTheShapeCentredInside) {
    // Wide screens get bars left and right, 5:4 ones above and below; whole steps centre
    // the largest multiple; an odd pixel of margin goes to the right; smaller than the
    // picture: a smooth fit.
    // clang-format off
    const struct { int outW, outH; bool integer; Rect expected; } cases[] = {
        {640, 480, true, {0, 0, 640, 480}}, {1920, 1080, false, {240, 0, 1440, 1080}},
        {1920, 1080, true, {320, 60, 1280, 960}}, {1280, 1024, false, {0, 32, 1280, 960}},
        {2560, 1440, true, {320, 0, 1920, 1440}}, {800, 600, true, {80, 60, 640, 480}},
        {800, 600, false, {0, 0, 800, 600}}, {801, 600, false, {0, 0, 800, 600}},
        {1000, 500, false, {167, 0, 666, 500}}, {320, 240, true, {0, 0, 320, 240}},
        {321, 1000, false, {0, 380, 321, 240}}, {0, 480, false, {0, 0, 0, 0}}, {640, -1, true, {0, 0, 0, 0}}};
    // clang-format on
    for (const auto& c : cases) {
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
