// Tank contact: corner pairs that touch turn and shove both tanks.
#include <gtest/gtest.h>

#include <tuple>

#include <cmath>

#include "core/world.h"
#include "sim/sim.h"

namespace {

void twoTanks(float bx, float by) {
    tb::world = tb::WorldState{};
    tb::world.tanks[0] = tb::Tank{1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
    tb::world.tanks[1] = tb::Tank{1, 1, -1, 0, 0, bx, by, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
}

TEST(SimContact, OneTouchingPairTurnsAndShovesBothTanks) {
    // b off a's front corner: a's corner 0 (front, -u) touches b's corner 3 (rear, +u), or,
    // mirrored, a's corner 1 touches b's corner 2. Side by side at 50, the nearest corners are
    // exactly 30 apart: no contact. At heading 0.04 the turn's single-precision 0.05 shows.
    struct Case {
        float headingA, bx, by;
        double turnA, backA, turnB, backB;
    };
    const Case cases[] = {{0.04f, -40, -75, +1, +1, +1, -1}, {0.04f, 40, -75, -1, +1, -1, -1}, {0, 50, 0, 0, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bx);
        twoTanks(c.bx, c.by);
        tb::world.tanks[0].heading = c.headingA;
        tb::resolveTankContact(0, 1);
        const double ha = float(double(c.headingA) + c.turnA * double(0.05f)), hb = float(c.turnB * double(0.05f));
        const tb::Tank& a = tb::world.tanks[0];
        const tb::Tank& b = tb::world.tanks[1];
        // Moving back along the heading is +cos in y; moving forward is -cos.
        EXPECT_EQ(std::tuple(a.heading, a.x, a.y),
                  std::tuple(float(ha), float(0 - c.backA * 3 * std::sin(ha)), float(0 + c.backA * 3 * std::cos(ha))));
        EXPECT_EQ(std::tuple(b.heading, b.x, b.y), std::tuple(float(hb), float(c.bx - c.backB * 3 * std::sin(hb)),
                                                              float(c.by + c.backB * 3 * std::cos(hb))));
    }
}

}  // namespace
