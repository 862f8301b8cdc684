// Entity lifetimes: props sink, regrow and are knocked over; wreck parts sink
// with two explosions; debris lands and sinks.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "core/world.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

// An empty world: tanks and standing props far outside the field, no knock-over check.
void quietWorld(std::uint32_t seed = 31) {
    tb::world = tb::WorldState{};
    tb::srand(seed);
    tb::world.frameCounter = 1;
    for (tb::Tank& t : tb::world.tanks) t.x = 5000, t.y = 5000;
    for (tb::Prop& p : tb::world.props) p = tb::Prop{1, -5000, -5000, 5, 0};
}

TEST(SimEntities, WreckPartsSinkWithTwoExplosions) {
    struct Case {
        int kind;
        float z;
        int first, second, freedIn;
        float finalZ;
    };
    const Case cases[] = {{0, 0, 13, 38, 127, -1016}, {1, 0, 13, 38, 127, -1016}, {2, 1000, 138, 163, 189, -512}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        quietWorld();
        tbtest::SoundLog sound;
        tb::world.wreckParts[3] = tb::WreckPart{1, c.kind, 12, 34, c.z, 0};
        std::vector<int> bangs;
        int freedIn = 0;
        for (int update = 1; update <= 300 && !freedIn; ++update) {
            tb::updateEntities();
            if (int(sound.played.size()) > int(bangs.size())) bangs.push_back(update);
            if (!tb::world.wreckParts[3].active) freedIn = update;
        }
        EXPECT_EQ(bangs, (std::vector<int>{c.first, c.second}));
        EXPECT_EQ(sound.count("expl.wav"), 2);
        EXPECT_EQ(freedIn, c.freedIn);
        EXPECT_EQ(tb::world.wreckParts[3].z, c.finalZ);
        EXPECT_EQ(tb::world.explosions[0].x, 12.0f);
        EXPECT_EQ(tb::world.explosions[1].y, 34.0f);
        EXPECT_EQ(tb::world.explosions[1].kind, 0);
    }
}

TEST(SimEntities, DebrisLandsBurstsAndSinks) {
    for (int sense : {0, 1}) {
        quietWorld();
        tb::world.debris[9] = tb::Debris{1, 14, sense, 100, 200, 30, 1.0f, 2.0f, 5, 0.02f, 0};
        tb::updateEntities();
        const tb::Debris& d = tb::world.debris[9];
        const double direction = float(1.0 + double(0.02f));
        // It travels along (cos, sin), unlike a tank; it landed at 0 and sank one unit in the same update.
        EXPECT_EQ(
            std::tuple(d.climb, d.direction, d.x, d.y, d.spin, d.z),
            std::tuple(-40.0f, float(direction), float(100 + std::cos(direction) * 5),
                       float(200 + std::sin(direction) * 5), float(2.0 + (sense ? -1 : 1) * double(0.18f)), -1.0f));
        const tb::Explosion& burst = tb::world.explosions[0];
        EXPECT_EQ(std::tuple(int(burst.active), int(burst.kind), burst.x), std::tuple(1, 1, d.x));
        for (int n = 0; n < 509; ++n) tb::updateEntities();
        EXPECT_EQ(d.active, 1);
        EXPECT_EQ(d.x, float(100 + std::cos(direction) * 5));  // no travel in the ground
        tb::updateEntities();
        EXPECT_EQ(d.active, 0);
        EXPECT_EQ(d.z, -511.0f);
    }
    quietWorld();
    tb::world.debris[0] = tb::Debris{1, 13, 0, 0, 0, 1000, 0, 0, 4, 0, 100};
    tb::updateEntities();
    EXPECT_EQ(tb::world.debris[0].z, 1060.0f);
    EXPECT_EQ(tb::world.explosions[0].active, 0);
}

TEST(SimEntities, SunkPropRegrowsAtARandomPlace) {
    quietWorld(77);
    tb::world.props[200] = tb::Prop{-1, -5000, -5000, -400, 0};
    tb::updateEntities();
    const tb::Prop& p = tb::world.props[200];
    EXPECT_EQ(std::tuple(p.state, p.z), std::tuple(1, -401.0f));
    EXPECT_TRUE(p.x != -5000 && p.y != -5000 && std::abs(p.x) <= 700 && std::abs(p.y) <= 700);
    for (int n = 0; n < 401; ++n) tb::updateEntities();
    EXPECT_EQ(p.z, 0.0f);
    tb::updateEntities();
    EXPECT_EQ(p.z, 1.0f);
    tb::updateEntities();
    EXPECT_EQ(p.z, 1.0f);
}

TEST(SimEntities, TanksKnockPropsOverOnEveryTwentiethUpdate) {
    struct Case {
        std::int32_t frame;
        float propX;
        std::uint8_t tankActive;
        int state;
    };
    const Case cases[] = {{20, 0, 0, -1}, {20, 0, 1, -1},     {21, 0, 1, 1},  {19, 0, 0, 1},
                          {40, 0, 0, -1}, {40, 39.9f, 0, -1}, {40, 40, 0, 1}, {-20, 0, 0, -1}};
    for (const Case& c : cases) {
        quietWorld();
        tb::world.frameCounter = c.frame;
        tb::world.tanks[5] = tb::Tank{c.tankActive, 1, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
        tb::world.props[17] = tb::Prop{1, c.propX, 0, 5, 0};
        tb::updateEntities();
        EXPECT_EQ(tb::world.props[17].state, c.state) << c.frame << " " << c.propX;
        EXPECT_EQ(tb::world.props[17].z, 5.0f);
    }
}

}  // namespace
