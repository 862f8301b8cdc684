// World start values and the shared random sequence: tanks in their hangars,
// props scattered below the ground, every draw taken in its fixed order.
#include <gtest/gtest.h>

#include <tuple>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/stream.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

using tbtest::Lcg;

TEST(SimInit, RandomSequenceFromSeed42) {
    tb::world = tb::WorldState{};
    tb::srand(42);
    Lcg g{42};
    for (int n = 0; n < 10000; ++n) ASSERT_EQ(tb::rand(), g.next()) << "draw " << n;
    EXPECT_EQ(tb::world.randomState, std::uint32_t(g.state));
}

TEST(SimInit, TanksStartInTheirHangarsAndPropsTakeFourDrawsEach) {
    tb::world = tb::WorldState{};
    tb::srand(7);
    Lcg g{7};
    tb::initTanks();
    for (int i = 0; i < 12; ++i) {
        const tb::Tank& t = tb::world.tanks[i];
        SCOPED_TRACE(i);
        // Players 1 and 2 (versus) start in play; each tank draws its wander timer.
        EXPECT_EQ(std::tuple(int(t.active), int(t.team), int(t.target), int(t.wanderTimer), int(t.runIn)),
                  std::tuple(i < 2 ? 1 : 0, i % 2, -1, g.next() % 190 - 150, 130));
        EXPECT_EQ(std::tuple(t.x, t.y, t.z, t.heading, t.health, t.speed, t.reload),
                  std::tuple(i % 2 == 0 ? 500.0f : -500.0f, float(-500 + 200 * (i / 2)), 1.0f,
                             float(i % 2 == 0 ? -1.570796327 : 1.570796327), 16.0f, 0.0f, 0.0f));
    }
    tb::initProps();
    for (int p = 0; p < 256; ++p) {
        const tb::Prop& prop = tb::world.props[p];
        SCOPED_TRACE(p);
        const int x = g.next(), y = g.next(), z = g.next(), a = g.next();
        EXPECT_EQ(std::tuple(int(prop.state), prop.x, prop.y, prop.z, prop.angle),
                  std::tuple(1, float(x % 1400 - 700), float(y % 1400 - 700), -float(z % 400), float(a)));
    }
    EXPECT_EQ(tb::world.randomState, std::uint32_t(g.state));
}

TEST(SimInit, AGameStartsCoOperativeWithTheBalanceEvenWhateverCameBefore) {
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    tb::world = tb::WorldState{};
    tb::world.quitRequested = 1, tb::world.autoPilot1 = 1, tb::world.autoPilot2 = 1, tb::world.coopMode = 0;
    tb::world.cameraZ = 5, tb::world.teamBalance = 0.9f;
    tb::world.explosions[95].active = 1, tb::world.wreckParts[47].active = 1;
    tb::initGame();
    const tb::WorldState& w = tb::world;
    EXPECT_EQ(std::tuple(w.quitRequested, w.firstFrame, w.autoPilot1, w.autoPilot2, w.coopMode, w.cameraZ,
                         w.teamBalance, w.explosions[95].active, w.wreckParts[47].active),
              std::tuple(0, 1, 0, 0, 1, -180000.0f, 0.5f, 0, 0));
    // The textures' noise reseeds the generator with 42 and takes 8192 numbers, then
    // the tanks take one each and the props four each.
    EXPECT_EQ(w.randomState, Lcg{42}.after(8192 + 12 + 4 * 256));
    tb::shutdownDisplay();
}

TEST(SimInit, HeatCellsOfTheBattlefield) {
    struct Case {
        double x, y;
        int cell;
    };
    const Case cases[] = {{-700, -700, 0},     {699.9, 699.9, 255}, {0, 0, 7 * 16 + 7}, {-612.5, 0, 7},
                          {-612.4, 0, 16 + 7}, {700, 0, -1},        {0, -700.5, -1},    {-700.01, 0, -1}};
    for (const Case& c : cases) EXPECT_EQ(tb::heatCellIndex(c.x, c.y), c.cell) << c.x << ", " << c.y;
}

}  // namespace
