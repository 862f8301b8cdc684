// The simulation's rules at their edges: the random sequence and the start,
// the frame update's limits, wrapping, edge pushes and hangars, footprints and
// shell hits, entity lifetimes, the camera and the computer opponent.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <tuple>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/stream.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

using tbtest::Lcg;

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
    // clang-format off
    const struct { double x, y; int cell; } cases[] = {{-700, -700, 0}, {699.9, 699.9, 255}, {0, 0, 7 * 16 + 7},
        {-612.5, 0, 7}, {-612.4, 0, 16 + 7}, {700, 0, -1}, {0, -700.5, -1}, {-700.01, 0, -1}};
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(tb::heatCellIndex(c.x, c.y), c.cell) << c.x << ", " << c.y;
}

const double kWholeTurn = double(float(2.0 * 3.14159265358979323846));

// Player 1's tank alone on the field, out of its drive-out, nothing else in play.
tb::Tank& lone(float x, float y, float heading, std::uint32_t seed = 1) {
    tb::world = tb::WorldState{};
    for (tb::Tank& t : tb::world.tanks) t.x = 5000, t.y = 5000;
    tb::srand(seed);
    return tb::world.tanks[0] = tb::Tank{1, 0, 0, 0, 0, x, y, 1, 0, 0, 0, heading, 0, 16, 0, 0, 0};
}

// wrapAngle adds or removes whole turns into -0.5..2 pi + 0.5 and gives up on
// values it could never bring there; an update wraps heading and turret by one turn.
TEST(SimUpdate, AnglesWrapByWholeTurns) {
    auto turn = [](float x, int turns) { return float(double(x) + turns * kWholeTurn); };
    // clang-format off
    const struct { float in, wrapped, updated; } cases[] = {
        {-0.5f, -0.5f, -0.5f}, {-0.6f, turn(-0.6f, 1), turn(-0.6f, 1)}, {6.7f, 6.7f, 6.7f},
        {6.79f, turn(6.79f, -1), turn(6.79f, -1)}, {-7.0f, turn(turn(-7.0f, 1), 1), turn(-7.0f, 1)},
        {20.0f, turn(turn(turn(20.0f, -1), -1), -1), turn(20.0f, -1)}};
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(tb::wrapAngle(c.in), c.wrapped) << c.in;
        tb::Tank& t = lone(0, 0, c.in);
        t.turretAngle = c.in;
        tb::updateWorld();
        EXPECT_EQ(std::pair(t.heading, t.turretAngle), std::pair(c.updated, c.updated)) << c.in;
    }
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(std::isnan(tb::wrapAngle(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(std::pair(tb::wrapAngle(inf), tb::wrapAngle(-inf)), std::pair(inf, -inf));
    // Beyond 1000 the whole turns go in one step, not one turn at a time.
    EXPECT_EQ(tb::wrapAngle(1050.0f), float(1050.0 - 167 * kWholeTurn));
    EXPECT_EQ(tb::wrapAngle(-1050.0f), float(-1050.0 + 168 * kWholeTurn));
    for (float far : {1e30f, -1e30f, 123456.7f, -98765.4f}) {
        const float w = tb::wrapAngle(far);
        EXPECT_TRUE(w >= -0.5f && double(w) <= 6.783185308) << far;
    }
}

TEST(SimUpdate, CornersOverTheEdgePushTheTankBack) {
    const float east = float(1.570796327), west = float(-1.570796327);
    // At 660.5 the second front corner is tested after the first push. A corner exactly on
    // an edge (heading 0: corners at x +-24, y +-40) is not beyond it.
    // clang-format off
    const struct { float x, y, heading, wantX, wantY; } cases[] = {
        {665, 0, east, 663, 0}, {-665, 0, west, -663, 0}, {659, 0, east, 659, 0}, {660.5f, 0, east, 659.5f, 0},
        {0, 665, 0, 0, 663}, {0, -665, 0, 0, -663}, {690, 690, 0, 688, 688},
        {676, 0, 0, 676, 0}, {-676, 0, 0, -676, 0}, {0, 660, 0, 0, 660}, {0, -660, 0, 0, -660}};
    // clang-format on
    for (const auto& c : cases) {
        tb::Tank& t = lone(c.x, c.y, c.heading);
        tb::updateWorld();
        EXPECT_NEAR(t.x, c.wantX, 1e-4) << c.x << ", " << c.y;
        EXPECT_NEAR(t.y, c.wantY, 1e-4) << c.x << ", " << c.y;
    }
}

TEST(SimUpdate, HangarsTakeTheMoveBack) {
    tb::Tank& t = lone(500, -224.5f, 0);  // driving toward the empty hangar at (500, -300)
    t.speed = 1;
    tb::updateWorld();
    EXPECT_EQ(std::pair(t.y, t.speed), std::pair(-224.5f, 0.0f));
    tb::Tank& u = lone(500, -200, 0);  // between two hangars, touching neither
    u.speed = 1;
    tb::updateWorld();
    EXPECT_EQ(std::pair(u.y, u.speed), std::pair(-201.0f, 1.0f));
}

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
    // clang-format off
    const struct { float sx, sy; int runIn; float health; int hits; } cases[] = {
        {0, 0, 0, 12, 4}, {0, 0, 100, 16, 4}, {39.9f, -25, 0, 15, 1}, {40, -25, 0, 16, 0},
        {30, -54.9f, 0, 15, 1}, {30, -55, 0, 16, 0}, {-39.9f, 25, 0, 15, 1}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sx << ", " << c.sy << " runIn " << c.runIn);
        tb::Tank& t = target(0, 16, c.sx, c.sy);
        t.runIn = c.runIn;
        tb::shellHitsTank(3, 0);
        EXPECT_EQ(std::tuple(t.health, int(tb::world.shells[0].active), tbtest::active(tb::world.explosions),
                             tbtest::active(tb::world.debris)),
                  std::tuple(c.health, c.hits ? 0 : 1, c.hits, c.hits));
        EXPECT_NEAR(tb::world.teamBalance, 0.5 - 0.01 * c.hits, 1e-6);
    }
}

TEST(SimImpacts, FullTablesDrawNothingButTracksStillBang) {
    tbtest::SoundLog sound;
    auto fill = [](auto& table) {
        for (auto& r : table) r.active = 1;
    };
    target(0, 16, 0, 0);
    fill(tb::world.debris), fill(tb::world.explosions);
    tb::shellHitsTank(3, 0);
    EXPECT_EQ(std::pair(tb::world.tanks[3].health, tb::world.randomState), std::pair(12.0f, 17u));

    tb::Tank& t = target(0, 7, 39.9f, -25, 23);  // one corner: the hit that costs a track
    fill(tb::world.debris), fill(tb::world.explosions), fill(tb::world.wreckParts);
    tb::shellHitsTank(3, 0);
    // Only the explosions' position jitter takes random numbers.
    EXPECT_EQ(std::tuple(t.health, tb::world.randomState, sound.count("expl.wav")),
              std::tuple(6.0f, Lcg{23}.after(4), 2));
}

TEST(SimImpacts, FootprintBoxes) {
    // clang-format off
    const struct { float heading, px, py; bool prop, hangar; } cases[] = {
        {0, 39.9f, 0, true, true}, {0, 40, 0, false, true}, {0, 99.9f, 0, false, true},
        {0, 100, 0, false, false}, {0, 0, 94.9f, false, true}, {0, 0, 95, false, false},
        {0, 0, 54.9f, true, true}, {0, 0, 55, false, true}, {1.5707964f, 54.9f, 0, true, true}};
    // clang-format on
    for (const auto& c : cases) {
        for (std::uint8_t active : {0, 1}) {
            SCOPED_TRACE(testing::Message() << c.heading << " " << c.px << ", " << c.py << " active " << int(active));
            tb::Tank& t = target(c.heading, 16, 0, 0);
            t.active = active;
            EXPECT_EQ(std::pair(tb::propUnderTank(3, c.px, c.py), tb::tankInHangar(3, c.px, c.py)),
                      std::pair(c.prop, c.hangar));
        }
    }
    for (float heading : {0.0f, 0.7f, 1.6f, 3.0f, 4.4f, 5.5f, 6.7f}) {
        target(heading, 16, 0, 0);
        EXPECT_TRUE(tb::tankInHangar(3, 0, 0)) << heading;
    }
}

// An empty world: tanks and standing props far outside the field, no knock-over check.
void quietWorld(std::uint32_t seed = 31) {
    tb::world = tb::WorldState{};
    tb::srand(seed);
    tb::world.frameCounter = 1;
    for (tb::Tank& t : tb::world.tanks) t.x = 5000, t.y = 5000;
    for (tb::Prop& p : tb::world.props) p = tb::Prop{1, -5000, -5000, 5, 0};
}

TEST(SimEntities, WreckPartsSinkWithTwoExplosions) {
    const struct {
        int kind;
        float z;
        int first, second, freedIn;  // the updates of the two bangs and of the part's end
        float finalZ;
    } cases[] = {{0, 0, 13, 38, 127, -1016}, {1, 0, 13, 38, 127, -1016}, {2, 1000, 138, 163, 189, -512}};
    for (const auto& c : cases) {
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
        EXPECT_EQ(std::tuple(sound.count("expl.wav"), freedIn, tb::world.wreckParts[3].z),
                  std::tuple(2, c.freedIn, c.finalZ));
        const tb::Explosion* e = tb::world.explosions;
        EXPECT_EQ(std::tuple(e[0].x, e[1].y, int(e[1].kind)), std::tuple(12.0f, 34.0f, 0));
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
        EXPECT_EQ(std::pair(int(d.active), d.x), std::pair(1, float(100 + std::cos(direction) * 5)));  // no travel
        tb::updateEntities();
        EXPECT_EQ(std::pair(int(d.active), d.z), std::pair(0, -511.0f));
    }
    quietWorld();
    tb::world.debris[0] = tb::Debris{1, 13, 0, 0, 0, 1000, 0, 0, 4, 0, 100};
    tb::updateEntities();
    EXPECT_EQ(std::pair(tb::world.debris[0].z, int(tb::world.explosions[0].active)), std::pair(1060.0f, 0));
}

TEST(SimEntities, TanksKnockPropsOverOnEveryTwentiethUpdate) {
    // clang-format off
    const struct { std::int32_t frame; float propX; std::uint8_t tankActive; int state; } cases[] = {
        {20, 0, 0, -1}, {20, 0, 1, -1}, {21, 0, 1, 1}, {19, 0, 0, 1},
        {40, 0, 0, -1}, {40, 39.9f, 0, -1}, {40, 40, 0, 1}, {-20, 0, 0, -1}};
    // clang-format on
    for (const auto& c : cases) {
        quietWorld();
        tb::world.frameCounter = c.frame;
        tb::world.tanks[5] = tb::Tank{c.tankActive, 1, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
        tb::world.props[17] = tb::Prop{1, c.propX, 0, 5, 0};
        tb::updateEntities();
        EXPECT_EQ(std::pair(int(tb::world.props[17].state), tb::world.props[17].z), std::pair(c.state, 5.0f))
            << c.frame << " " << c.propX;
    }
}

struct Place {
    float x, y;
};

// Tanks in play at the given places (height 1), camera at rest over (0, 0) at zoom z.
void tanksAt(std::initializer_list<Place> places, float z = -7002, float speed = 0) {
    tb::world = tb::WorldState{};
    int i = 0;
    for (const Place& p : places)
        tb::world.tanks[i++] = tb::Tank{1, 0, -1, 0, 0, p.x, p.y, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
    tb::world.cameraZ = z;
    tb::world.cameraZoomSpeed = speed;
}

TEST(SimCamera, ZoomSpeedFollowsTheMargins) {
    // At zoom -7002 the projection scale is 1 / (65000 * 1.53846e-5), just above 1. A tank at
    // screen x 600 is 60 over (target -120); at the centre 220 are free (target 440); tanks
    // exactly on every margin hold the zoom; one pixel of room below lets it grow.
    // clang-format off
    const struct { std::initializer_list<Place> places; float speed, wantSpeed; } cases[] = {
        {{{280, 0}}, 0, -6}, {{{280, 0}}, 10, 4}, {{{280, 0}}, -200, -198},
        {{{0, 0}}, 0, 2}, {{{0, 0}}, 10, 12}, {{{0, 0}}, 450, 444}, {{{0, 0}}, 440, 440},
        {{{-219.9f, -139.9f}, {220.1f, 140.1f}}, 10, 0}, {{{-219.9f, -139.9f}, {220.1f, 140.1f}}, -50, 0},
        {{{-219.9f, -139.9f}, {220.1f, 139.0f}}, 0, 2}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.places.begin()->x << " speed " << c.speed);
        tanksAt(c.places, -7002, c.speed);
        tb::updateCamera();
        EXPECT_EQ(std::tuple(tb::world.cameraZoomSpeed, tb::world.cameraZ, tb::world.cameraAngle),
                  std::tuple(c.wantSpeed, -7002 + 4 * c.wantSpeed, 0.00003f));
    }
    // The zoom stops at 40000 and has no lower limit.
    tanksAt({{0, 0}}, 39990, 10);
    tb::updateCamera();
    EXPECT_EQ(std::pair(tb::world.cameraZoomSpeed, tb::world.cameraZ), std::pair(12.0f, 40000.0f));
    tanksAt({{0, 0}}, -190000, 0);
    tb::updateCamera();
    EXPECT_EQ(tb::world.cameraZ, -189992.0f);
}

TEST(SimCamera, HoldsStillWithNoTankInPlayButTurnsInSinglePrecision) {
    tanksAt({{300, 300}}, -1000, 10);
    tb::world.tanks[0].active = 0;
    tb::world.cameraX = 5, tb::world.cameraY = 7;
    tb::updateCamera();
    EXPECT_EQ(std::tuple(tb::world.cameraX, tb::world.cameraY, tb::world.cameraZ, tb::world.cameraZoomSpeed),
              std::tuple(5.0f, 7.0f, -1000.0f, 10.0f));
    // It turns by a single-precision step, and is never wrapped.
    float angle = tb::world.cameraAngle;
    for (int n = 0; n < 300000; ++n) {
        angle = float(double(angle) + double(0.00003f));
        tb::updateCamera();
        ASSERT_EQ(tb::world.cameraAngle, angle) << n;
    }
    EXPECT_GT(angle, 8.9f);
}

const double kTwoPi = 2 * 3.141592654;

TEST(SimOpponent, NearestDifferenceOverWholeTurns) {
    // 0.1 - 6.3 is not -6.2; from 3.2 both ways truncate to 3 and the first found, the long way,
    // wins; from 3.3 the other way, 2.98, truncates to 2. A candidate must truncate below 1000:
    // three turns off 1000.5 ties with that start and the difference stays 0 (999.5 is kept).
    // clang-format off
    const struct { double b, a, want; } cases[] = {
        {0.1, 6.3, 0.1 - 6.3 + kTwoPi}, {1.0, 0.5, 0.5}, {0.0, 6.0, 0.0 - 6.0 + kTwoPi}, {3.2, 0.0, 3.2},
        {-3.2, 0.0, -3.2}, {3.28, 0.0, 3.28}, {3.3, 0.0, 3.3 - kTwoPi}, {6.0, -6.5, 6.0 + 6.5 - 2 * kTwoPi},
        {0.0, 1000.5 + 3 * kTwoPi, 0.0}, {0.0, 999.5 + 3 * kTwoPi, -999.5}};
    // clang-format on
    for (const auto& c : cases) EXPECT_NEAR(tb::nearestDifference(c.b, c.a), c.want, 1e-12) << c.b << " " << c.a;
}

// Tank 3 at the origin, out of its drive-out, at rest with this heading, turret angle and
// reload, runs its opponent logic against its target, tank 4 at (x, y); the rest out of play.
tb::Tank& aimAt(float x, float y, float heading, float turret = 0, float reload = 5) {
    tb::world = tb::WorldState{};
    tb::srand(11);
    for (int i = 0; i < 12; ++i)
        tb::world.tanks[i] =
            tb::Tank{i == 3 || i == 4, i % 2, -1, 0, 0, float(100 * i), 0, 1, 0, 0, 0, 0, 0, 16, 0, 0, 5};
    tb::Tank& me = tb::world.tanks[3];
    me.x = 0, me.y = 0, me.heading = heading, me.turretAngle = turret, me.reload = reload, me.target = 4;
    tb::world.tanks[4].x = x, tb::world.tanks[4].y = y;
    tb::runOpponent(3);
    return me;
}

TEST(SimOpponent, AimsHoldsAtRangeAndFires) {
    // A small negative error turns the positive way.
    // clang-format off
    const struct { float distance, turret, reload, wantSpeed, wantTurn, wantTurret; bool fires; } cases[] = {
        {200, 0, 0, 0, 0, 0, true}, {200, 0, 3, 0, 0, 0, false}, {200, 0.01f, 0, 0, 0, 0.008f, true},
        {200, 0.015f, 3, 0, 0, 0.008f, false}, {200, -0.5f, 0, 0, 0, 0.5f, false}, {200, 0.3f, 0, 0, 0, -0.3f, false},
        {301, 0, 3, float(51 * 0.02), 0, 0, false}, {290, 0, 3, 0, 0, 0, false}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distance << " " << c.turret << " " << c.reload);
        const tb::Tank& me = aimAt(0, -c.distance, 0, c.turret, c.reload);  // straight ahead
        EXPECT_NEAR(me.turretRate, c.wantTurret, 1e-7);
        EXPECT_EQ(std::tuple(me.speed, me.turnRate, int(tb::world.shells[0].active), me.reload),
                  std::tuple(c.wantSpeed, c.wantTurn, c.fires ? 1 : 0, c.fires ? 40.0f : c.reload));
    }
}

TEST(SimOpponent, BearingOfATargetOnTheSameLine) {
    const float closing = float((1000 - 250) * 0.02);  // far above 1: the frame update cuts it
    // Level to +x turns by pi, not pi/2, as do the target behind; a small error is raised to the fixed step.
    // clang-format off
    const struct { float targetX, targetY, heading, wantTurn; } cases[] = {
        {1000, 0, 0, float(3.141592654)}, {-1000, 0, 0, float(-3.141592654)}, {0, 1000, 0, float(3.141592654)},
        {0, -1000, 0.005f, 0.01f}, {0, -1000, -0.005f, 0.01f}};
    // clang-format on
    for (const auto& c : cases) {
        const tb::Tank& me = aimAt(c.targetX, c.targetY, c.heading);
        EXPECT_EQ(std::pair(me.turnRate, me.speed), std::pair(c.wantTurn, closing)) << c.targetX << ", " << c.targetY;
    }
}

}  // namespace
