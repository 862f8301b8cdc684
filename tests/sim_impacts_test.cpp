// Footprint tests and shell hits: one hit per touching corner, damage only after
// the drive-out, full tables, a wreck.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/world.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

using tbtest::Lcg;

// Tank 3 (team 1) at (0, 0), out of its drive-out, and shell 0 of tank 0 at (sx, sy).
tb::Tank& target(float heading, float health, float sx, float sy, std::uint32_t seed = 17) {
    tb::world = tb::WorldState{};
    tb::srand(seed);
    tb::world.teamBalance = 0.5f;
    tb::Tank& t = tb::world.tanks[3];
    t = tb::Tank{1, 1, -1, 0, 0, 0, 0, 1, 0, 0, 0, heading, 0, health, 0, 0, 0};
    tb::world.shells[0] = tb::Shell{1, 0, 0, sx, sy, 1701, 0, 100};
    return t;
}

TEST(SimImpacts, HitsCountedByCornersAndDamageOnlyAfterTheDriveOut) {
    struct Case {
        float sx, sy;
        int runIn;
        float health;
        int hits;
    };
    const Case cases[] = {
        {0, 0, 0, 12, 4},       {0, 0, 100, 16, 4},  {39.9f, -25, 0, 15, 1}, {40, -25, 0, 16, 0},
        {30, -54.9f, 0, 15, 1}, {30, -55, 0, 16, 0}, {-39.9f, 25, 0, 15, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sx << ", " << c.sy << " runIn " << c.runIn);
        tb::Tank& t = target(0, 16, c.sx, c.sy);
        t.runIn = c.runIn;
        tb::shellHitsTank(3, 0);
        EXPECT_EQ(t.health, c.health);
        EXPECT_EQ(tb::world.shells[0].active, c.hits ? 0 : 1);
        int explosions = 0, debris = 0;
        for (const tb::Explosion& e : tb::world.explosions) explosions += e.active;
        for (const tb::Debris& d : tb::world.debris) debris += d.active;
        EXPECT_EQ(explosions, c.hits);
        EXPECT_EQ(debris, c.hits);
        EXPECT_NEAR(tb::world.teamBalance, 0.5 - 0.01 * c.hits, 1e-6);
    }
}

TEST(SimImpacts, FullTablesDrawNothingButTracksStillBang) {
    tbtest::SoundLog sound;
    target(0, 16, 0, 0);
    for (tb::Debris& d : tb::world.debris) d.active = 1;
    for (tb::Explosion& e : tb::world.explosions) e.active = 1;
    tb::shellHitsTank(3, 0);
    EXPECT_EQ(tb::world.tanks[3].health, 12.0f);
    EXPECT_EQ(tb::world.randomState, 17u);

    tb::Tank& t = target(0, 7, 39.9f, -25, 23);  // one corner: the hit that costs a track
    for (tb::Debris& d : tb::world.debris) d.active = 1;
    for (tb::Explosion& e : tb::world.explosions) e.active = 1;
    for (tb::WreckPart& w : tb::world.wreckParts) w.active = 1;
    tb::shellHitsTank(3, 0);
    EXPECT_EQ(t.health, 6.0f);
    Lcg g{23};
    for (int n = 0; n < 4; ++n) g.next();  // only the explosions' position jitter
    EXPECT_EQ(tb::world.randomState, std::uint32_t(g.state));
    EXPECT_EQ(sound.count("expl.wav"), 2);
}

TEST(SimImpacts, HitBelowZeroWrecksAndRespawnsTheTank) {
    tb::Tank& t = target(1.0f, 0, 39.9f, -25);
    tb::shellHitsTank(3, 0);
    // Back in its hangar with full health (the reset itself: the effects tests).
    EXPECT_EQ(std::tuple(int(t.active), t.x, t.y, int(t.runIn), t.health), std::tuple(1, -500.0f, -300.0f, 130, 16.0f));
    EXPECT_EQ(tb::world.tanks[0].target, 3);  // set after the wreck
    EXPECT_EQ(tb::world.teamBalance, 0.5f - 0.01f - 0.05f);
}

TEST(SimImpacts, FootprintBoxes) {
    struct Case {
        float heading, px, py;
        bool prop, hangar;
    };
    const Case cases[] = {
        {0, 39.9f, 0, true, true}, {0, 40, 0, false, true},    {0, 99.9f, 0, false, true},
        {0, 100, 0, false, false}, {0, 0, 94.9f, false, true}, {0, 0, 95, false, false},
        {0, 0, 54.9f, true, true}, {0, 0, 55, false, true},    {1.5707964f, 54.9f, 0, true, true},
    };
    for (const Case& c : cases) {
        for (std::uint8_t active : {0, 1}) {
            SCOPED_TRACE(testing::Message() << c.heading << " " << c.px << ", " << c.py << " active " << int(active));
            tb::Tank& t = target(c.heading, 16, 0, 0);
            t.active = active;
            EXPECT_EQ(tb::propUnderTank(3, c.px, c.py), c.prop);
            EXPECT_EQ(tb::tankInHangar(3, c.px, c.py), c.hangar);
        }
    }
    for (float heading : {0.0f, 0.7f, 1.6f, 3.0f, 4.4f, 5.5f, 6.7f}) {
        target(heading, 16, 0, 0);
        EXPECT_TRUE(tb::tankInHangar(3, 0, 0)) << heading;
    }
}

}  // namespace
