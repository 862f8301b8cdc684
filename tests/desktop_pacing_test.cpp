// The 60 Hz schedule, driven by a made-up clock: deadlines without drift, late
// passes absorbed, a machine that cannot keep up slowed down rather than bursting.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sdl/pacer.h"

namespace {

using platform::sdl::FramePacer;
using Nanos = FramePacer::Nanos;
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

}  // namespace
