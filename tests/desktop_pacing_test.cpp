// The 60 Hz schedule, driven by a made-up clock: deadlines without drift, late
// passes absorbed, a machine that cannot keep up slowed down rather than bursting.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/sdl/pacer.h"

namespace {

using platform::sdl::FramePacer;
using Nanos = FramePacer::Nanos;
constexpr Nanos kSecond = FramePacer::kSecond;

TEST(DesktopPacing, DeadlinesAreWholeMultiplesOfTheFrameTime) {
    // Whatever the origin and however many passes, pass n may start at origin + n/60 s
    // (to the nanosecond, rounded down), so rounding never piles up.
    struct Case {
        Nanos origin;
        int passes;
    };
    for (const Case& c : std::vector<Case>{{0, 600}, {123'456'789, 600}, {5 * kSecond + 7, 36'000}, {-kSecond, 61}}) {
        FramePacer pacer;
        pacer.start(c.origin);
        Nanos deadline = c.origin;
        for (int n = 1; n <= c.passes; ++n) {
            deadline = pacer.nextDeadline(deadline);  // each pass shown exactly on time
            ASSERT_EQ(deadline, c.origin + Nanos(n) * kSecond / 60) << "origin " << c.origin << " pass " << n;
        }
        EXPECT_EQ(deadline - c.origin, Nanos(c.passes) * kSecond / 60);
        EXPECT_EQ(pacer.restarts(), 0);
    }
}

TEST(DesktopPacing, SixHundredPassesAreTenSecondsForAnyRefreshRate) {
    // A display that shows a frame some time after it is asked to (its retrace at 75 or
    // 144 Hz, or a presenter that takes a while) makes each pass end a little after its
    // deadline; the schedule stays put, so 600 passes still end 10 s after the start.
    for (Nanos lateness : {Nanos(0), kSecond / 144, kSecond / 75, kSecond / 61}) {
        FramePacer pacer;
        pacer.start(0);
        Nanos now = 0, deadline = 0;
        for (int n = 1; n <= 600; ++n) {
            deadline = pacer.nextDeadline(now);
            now = deadline + lateness;
        }
        EXPECT_EQ(deadline, 10 * kSecond) << "lateness " << lateness;
        EXPECT_EQ(pacer.restarts(), 0) << "lateness " << lateness;
    }
}

TEST(DesktopPacing, ALatePassSkipsOnlyItsOwnWait) {
    FramePacer pacer;
    pacer.start(0);
    const Nanos period = kSecond / 60;
    // Pass 1 ends half a period after its deadline: no wait, and pass 2 keeps its place.
    Nanos d1 = pacer.nextDeadline(period + period / 2);
    EXPECT_EQ(d1, period);
    Nanos d2 = pacer.nextDeadline(period + period / 2 + 1000);
    EXPECT_EQ(d2, 2 * kSecond / 60);
    EXPECT_EQ(pacer.restarts(), 0);
}

TEST(DesktopPacing, FallingBehindSlowsDownInsteadOfBursting) {
    // Passes that take 25 ms each (40 per second) on a 60 Hz schedule: the game must
    // run at that slower speed and never get deadlines in the past one after another.
    struct Case {
        Nanos passTime;
    };
    for (const Case& c : std::vector<Case>{{25'000'000}, {100'000'000}, {kSecond}}) {
        FramePacer pacer;
        pacer.start(0);
        Nanos now = 0;
        int waitsSkippedInARow = 0, worstRun = 0;
        for (int n = 0; n < 300; ++n) {
            now += c.passTime;  // the pass itself
            Nanos deadline = pacer.nextDeadline(now);
            ASSERT_GE(deadline, now - kSecond / 60) << "pass " << n;
            waitsSkippedInARow = deadline <= now ? waitsSkippedInARow + 1 : 0;
            if (deadline > now) now = deadline;
            worstRun = std::max(worstRun, waitsSkippedInARow);
        }
        // Every pass still runs (300 of them), taking at least its own time.
        EXPECT_GE(now, 300 * c.passTime);
        EXPECT_GT(pacer.restarts(), 0);
        // After a slow stretch that ends, passes are paced again at once (no burst).
        Nanos slowEnd = now;
        int burst = 0;
        for (int n = 0; n < 60; ++n) {
            Nanos deadline = pacer.nextDeadline(now);
            if (deadline <= now) ++burst;
            now = std::max(now, deadline) + 1'000'000;  // a fast 1 ms pass
        }
        EXPECT_LE(burst, 1) << "pass time " << c.passTime;
        EXPECT_GE(now - slowEnd, 59 * kSecond / 60) << "pass time " << c.passTime;
    }
}

TEST(DesktopPacing, WithoutStartTheFirstShownPassIsTakenAsOnTime) {
    FramePacer pacer;
    Nanos first = pacer.nextDeadline(1'000'000'000);
    EXPECT_EQ(first, 1'000'000'000);
    Nanos second = pacer.nextDeadline(first);
    EXPECT_EQ(second, first - kSecond / 60 + 2 * kSecond / 60);
}

}  // namespace
