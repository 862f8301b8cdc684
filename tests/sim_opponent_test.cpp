// The computer opponent: whom it targets, how it aims and closes in, and the
// whole-turn difference with its long-way quirk.
#include <gtest/gtest.h>

#include <tuple>

#include <cmath>
#include <cstdint>

#include "core/world.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

const double kTwoPi = 2 * 3.141592654;

TEST(SimOpponent, NearestDifferenceOverWholeTurns) {
    struct Case {
        double b, a, want;
    };
    const Case cases[] = {
        {0.1, 6.3, 0.1 - 6.3 + kTwoPi},  // not -6.2
        {1.0, 0.5, 0.5},
        {0.0, 6.0, 0.0 - 6.0 + kTwoPi},
        {3.2, 0.0, 3.2},  // both ways truncate to 3: the first found, the long way, wins
        {-3.2, 0.0, -3.2},
        {3.28, 0.0, 3.28},
        {3.3, 0.0, 3.3 - kTwoPi},  // 2.98 the other way truncates to 2
        {6.0, -6.5, 6.0 + 6.5 - 2 * kTwoPi},
    };
    for (const Case& c : cases) EXPECT_NEAR(tb::nearestDifference(c.b, c.a), c.want, 1e-12) << c.b << " " << c.a;
}

// Tanks `who` in play at the given places, out of their drive-out, facing -y, at rest.
void field(std::initializer_list<int> who, std::uint32_t seed = 11) {
    tb::world = tb::WorldState{};
    tb::srand(seed);
    for (int i = 0; i < 12; ++i) {
        tb::Tank& t = tb::world.tanks[i];
        t.team = i % 2;
        t.target = -1;
        t.health = 16;
        t.z = 1;
        t.x = float(100 * i);
        t.reload = 5;
    }
    for (int i : who) tb::world.tanks[i].active = 1;
}

TEST(SimOpponent, TargetRules) {
    struct Case {
        const char* what;
        std::initializer_list<int> active;
        int me, myTarget;
        std::initializer_list<std::pair<int, int>> targets;  // other tanks' targets (the rest have none)
        int runIn, want;
    };
    const Case cases[] = {
        {"an attacker replaces a target ignoring me", {4, 5, 7}, 4, 7, {{5, 4}, {7, 3}}, 0, 5},
        {"a team-mate not attacking me is dropped", {4, 6}, 4, 6, {{6, 1}}, 0, -1},
        {"a team-mate attacking me is kept", {4, 6}, 4, 6, {{6, 4}}, 0, 6},
        {"the first attacker when I have none", {3, 4, 6, 8}, 3, -1, {{6, 3}, {8, 3}}, 0, 6},
        {"my target kept among attackers", {3, 4, 6, 8}, 3, 8, {{4, 3}, {6, 3}, {8, 3}}, 0, 8},
        {"no target while driving out", {4, 5}, 4, 5, {{5, 4}}, 50, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        field(c.active);
        for (auto [tank, target] : c.targets) tb::world.tanks[tank].target = target;
        tb::Tank& me = tb::world.tanks[c.me];
        me.target = c.myTarget;
        me.runIn = c.runIn;
        tb::runOpponent(c.me);
        EXPECT_EQ(me.target, c.want);
    }
}

TEST(SimOpponent, AimsHoldsAtRangeAndFires) {
    struct Case {
        float distance, turret, reload;
        float wantSpeed, wantTurn, wantTurret;
        bool fires;
    };
    const Case cases[] = {
        {200, 0, 0, 0, 0, 0, true},
        {200, 0, 3, 0, 0, 0, false},
        {200, 0.01f, 0, 0, 0, 0.008f, true},  // small negative error turns the positive way
        {200, 0.015f, 3, 0, 0, 0.008f, false},
        {200, -0.5f, 0, 0, 0, 0.5f, false},
        {200, 0.3f, 0, 0, 0, -0.3f, false},
        {301, 0, 3, float(51 * 0.02), 0, 0, false},
        {290, 0, 3, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distance << " " << c.turret << " " << c.reload);
        field({3, 4});
        tb::Tank& me = tb::world.tanks[3];
        me.x = 0, me.y = 0, me.heading = 0, me.turretAngle = c.turret, me.reload = c.reload;
        tb::world.tanks[4].x = 0, tb::world.tanks[4].y = -c.distance;  // straight ahead
        me.target = 4;
        tb::runOpponent(3);
        EXPECT_EQ(me.speed, c.wantSpeed);
        EXPECT_EQ(me.turnRate, c.wantTurn);
        EXPECT_NEAR(me.turretRate, c.wantTurret, 1e-7);
        EXPECT_EQ(tb::world.shells[0].active, c.fires ? 1 : 0);
        EXPECT_EQ(me.reload, c.fires ? 40.0f : c.reload);
    }
}

TEST(SimOpponent, BearingOfATargetOnTheSameLine) {
    struct Case {
        float targetX, targetY, heading, wantTurn;
    };
    const float closing = float((1000 - 250) * 0.02);  // far above 1: the frame update cuts it
    const Case cases[] = {
        {1000, 0, 0, float(3.141592654)},                                      // level, to +x: pi, not pi/2
        {-1000, 0, 0, float(-3.141592654)}, {0, 1000, 0, float(3.141592654)},  // behind
        {0, -1000, 0.005f, 0.01f},  // a small error is raised to the fixed step
        {0, -1000, -0.005f, 0.01f},
    };
    for (const Case& c : cases) {
        field({3, 4});
        tb::Tank& me = tb::world.tanks[3];
        me.x = 0, me.y = 0, me.heading = c.heading;
        tb::world.tanks[4].x = c.targetX, tb::world.tanks[4].y = c.targetY;
        me.target = 4;
        tb::runOpponent(3);
        EXPECT_EQ(me.turnRate, c.wantTurn) << c.targetX << ", " << c.targetY;
        EXPECT_EQ(me.speed, closing);
    }
}

}  // namespace
