// The frame update: tank motion and its limits, angle wrapping, the edge pushes,
// hangars and which tanks the computer drives.
#include <gtest/gtest.h>

#include <tuple>

#include <cmath>
#include <limits>

#include "core/world.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

const double kWholeTurn = double(float(2.0 * 3.14159265358979323846));

// Player 1's tank alone on the field, out of its drive-out, nothing else in play.
tb::Tank& lone(float x, float y, float heading, std::uint32_t seed = 1) {
    tb::world = tb::WorldState{};
    for (tb::Tank& t : tb::world.tanks) t.x = 5000, t.y = 5000;
    tb::srand(seed);
    tb::Tank& t = tb::world.tanks[0];
    t.active = 1;
    t.x = x;
    t.y = y;
    t.z = 1;
    t.heading = heading;
    t.health = 16;
    return t;
}

TEST(SimUpdate, SettingsAreLimitedAndDamageStopsTheTank) {
    struct Case {
        float speed, turn, turret, health, wantSpeed, wantTurn, wantTurret, wantHeading;
    };
    const Case cases[] = {
        {1.5f, 0, 0, 16, 1, 0, 0, 0},
        {-3, 0, 0, 16, -1, 0, 0, 0},
        {0.5f, -0.05f, 0, 16, 0.5f, float(-0.02), 0, float(-0.02)},
        {-0.5f, 0.05f, 0, 16, -0.5f, float(0.02), 0, -float(0.02)},  // reversing mirrors the steering
        {0, 0, 0.1f, 16, 0, 0, float(0.016), 0},
        {1, 0, 0, 6, 0, 0, 0, 0},
        {1, 0, 0, 7, 1, 0, 0, 0},
        {0, 0.01f, 0, 3, 0, 0, 0, 0},
        {0, 0.01f, 0, 4, 0, 0.01f, 0, 0.01f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.speed << " " << c.turn << " " << c.turret << " " << c.health);
        tb::Tank& t = lone(0, 0, 0);
        t.speed = c.speed, t.turnRate = c.turn, t.turretRate = c.turret, t.health = c.health;
        tb::updateWorld();
        // Heading 0 drives toward -y, with the heading before the turn.
        EXPECT_EQ(std::tuple(t.speed, t.turnRate, t.turretRate, t.turretAngle, t.heading, t.x, t.y, t.trackPhase),
                  std::tuple(c.wantSpeed, c.wantTurn, c.wantTurret, c.wantTurret, c.wantHeading, 0.0f, -c.wantSpeed,
                             c.wantSpeed * 7));
    }
}

// wrapAngle adds or removes whole turns into -0.5..2 pi + 0.5 and gives up on
// values it could never bring there; an update wraps heading and turret by one turn.
TEST(SimUpdate, AnglesWrapByWholeTurns) {
    auto turn = [](float x, int turns) { return float(double(x) + turns * kWholeTurn); };
    struct Case {
        float in, wrapped, updated;
    };
    const Case cases[] = {
        {-0.5f, -0.5f, -0.5f},
        {-0.6f, turn(-0.6f, 1), turn(-0.6f, 1)},
        {6.7f, 6.7f, 6.7f},
        {6.79f, turn(6.79f, -1), turn(6.79f, -1)},
        {-7.0f, turn(turn(-7.0f, 1), 1), turn(-7.0f, 1)},
        {20.0f, turn(turn(turn(20.0f, -1), -1), -1), turn(20.0f, -1)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tb::wrapAngle(c.in), c.wrapped) << c.in;
        tb::Tank& t = lone(0, 0, c.in);
        t.turretAngle = c.in;
        tb::updateWorld();
        EXPECT_EQ(t.heading, c.updated) << c.in;
        EXPECT_EQ(t.turretAngle, c.updated) << c.in;
    }
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(std::isnan(tb::wrapAngle(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(tb::wrapAngle(inf), inf);
    EXPECT_EQ(tb::wrapAngle(-inf), -inf);
    // Beyond 1000 the whole turns go in one step, not one turn at a time.
    EXPECT_EQ(tb::wrapAngle(1050.0f), float(1050.0 - 167 * kWholeTurn));
    EXPECT_EQ(tb::wrapAngle(-1050.0f), float(-1050.0 + 168 * kWholeTurn));
    for (float far : {1e30f, -1e30f, 123456.7f, -98765.4f}) {
        const float w = tb::wrapAngle(far);
        EXPECT_TRUE(w >= -0.5f && double(w) <= 6.783185308) << far;
    }
}

TEST(SimUpdate, CornersOverTheEdgePushTheTankBack) {
    struct Case {
        float x, y, heading, wantX, wantY;
    };
    const float east = float(1.570796327), west = float(-1.570796327);
    const Case cases[] = {{665, 0, east, 663, 0},       {-665, 0, west, -663, 0}, {659, 0, east, 659, 0},
                          {660.5f, 0, east, 659.5f, 0},  // the second front corner is tested after the first push
                          {0, 665, 0, 0, 663},          {0, -665, 0, 0, -663},    {690, 690, 0, 688, 688}};
    for (const Case& c : cases) {
        tb::Tank& t = lone(c.x, c.y, c.heading);
        tb::updateWorld();
        EXPECT_NEAR(t.x, c.wantX, 1e-4) << c.x << ", " << c.y;
        EXPECT_NEAR(t.y, c.wantY, 1e-4) << c.x << ", " << c.y;
    }
    // Driving square-on into the edge: the front stays within about a unit of it.
    tb::Tank& t = lone(600, 0, east);
    t.speed = 1;
    for (int n = 0; n < 200; ++n) tb::updateWorld();
    EXPECT_GE(t.x + 40, 698);
    EXPECT_LE(t.x + 40, 701);
}

TEST(SimUpdate, HangarsTakeTheMoveBack) {
    tb::Tank& t = lone(500, -224.5f, 0);  // driving toward the empty hangar at (500, -300)
    t.speed = 1;
    tb::updateWorld();
    EXPECT_EQ(t.y, -224.5f);
    EXPECT_EQ(t.speed, 0.0f);
    tb::Tank& u = lone(500, -200, 0);  // between two hangars, touching neither
    u.speed = 1;
    tb::updateWorld();
    EXPECT_EQ(u.y, -201.0f);
    EXPECT_EQ(u.speed, 1.0f);
}

TEST(SimUpdate, WhichTanksTheComputerDrives) {
    // A computer tank with nobody near enough to stop for sets off (wandering or closing in);
    // a player's tank keeps its speed setting of 0.
    struct Case {
        int tank;
        std::uint8_t coop, pilot1, pilot2;
        bool driven;
    };
    const Case cases[] = {{0, 1, 0, 0, false}, {0, 1, 1, 0, true},  {1, 1, 0, 0, true}, {1, 0, 0, 0, false},
                          {1, 0, 0, 1, true},  {2, 1, 0, 0, false}, {2, 1, 0, 1, true}, {2, 0, 0, 0, true},
                          {7, 1, 0, 0, true},  {11, 0, 0, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tank " << c.tank << " coop " << int(c.coop) << " pilots " << int(c.pilot1)
                                        << int(c.pilot2));
        lone(5000, 5000, 0);
        tb::world.tanks[0].active = 0;
        for (int i = 0; i < 12; ++i) tb::world.tanks[i].team = i % 2, tb::world.tanks[i].target = -1;
        tb::world.tanks[2].x = 500, tb::world.tanks[2].y = 300, tb::world.tanks[2].health = 16;
        tb::Tank& t = tb::world.tanks[c.tank];
        t.active = 1, t.x = -500, t.y = 0, t.health = 16, t.heading = 1;
        tb::world.coopMode = c.coop, tb::world.autoPilot1 = c.pilot1, tb::world.autoPilot2 = c.pilot2;
        tb::updateWorld();
        EXPECT_EQ(t.speed, c.driven ? 1.0f : 0.0f);
    }
}

}  // namespace
