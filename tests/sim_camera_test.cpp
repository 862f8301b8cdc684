// The camera: pans a tenth of the whole-unit distance toward the middle of the
// tanks, zooms out fast and in slowly around the screen margins, turns, and stops at 40000.
#include <gtest/gtest.h>

#include <tuple>

#include <initializer_list>

#include "core/world.h"
#include "sim/sim.h"

namespace {

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

TEST(SimCamera, PansATenthOfTheWholeDistanceToTheMiddleOfTheTruncatedBox) {
    // x from -101.7 and 0.5 stores -101 and 0; the middle -50 truncates toward zero.
    tanksAt({{-101.7f, 300.9f}, {0.5f, 101.2f}});
    tb::updateCamera();
    EXPECT_NEAR(tb::world.cameraX, -5.0, 1e-6);
    EXPECT_NEAR(tb::world.cameraY, 20.0, 1e-6);  // (101 + 300) / 2 = 200
    // A tenth of the distance in whole units, until less than one unit is left.
    tanksAt({{100, 0}});
    for (double x : {10.0, 19.0, 27.1, 34.3, 40.8}) {
        tb::updateCamera();
        EXPECT_NEAR(tb::world.cameraX, x, 1e-4);
    }
    for (int n = 0; n < 200; ++n) tb::updateCamera();
    const float rest = tb::world.cameraX;
    EXPECT_TRUE(rest > 99.0f && rest < 99.2f) << rest;
    tb::updateCamera();
    EXPECT_EQ(tb::world.cameraX, rest);
    EXPECT_EQ(tb::world.cameraY, 0.0f);
}

TEST(SimCamera, ZoomSpeedFollowsTheMargins) {
    // At zoom -7002 the projection scale is 1 / (65000 * 1.53846e-5), just above 1.
    struct Case {
        std::initializer_list<Place> places;
        float speed, wantSpeed;
    };
    const Case cases[] = {
        {{{280, 0}}, 0, -6},  // screen x 600: 60 over, target -120
        {{{280, 0}}, 10, 4},
        {{{280, 0}}, -200, -198},
        {{{0, 0}}, 0, 2},  // centre: 220 free, target 440
        {{{0, 0}}, 10, 12},
        {{{0, 0}}, 450, 444},
        {{{0, 0}}, 440, 440},
        {{{-219.9f, -139.9f}, {220.1f, 140.1f}}, 10, 0},  // exactly on every margin: the zoom holds
        {{{-219.9f, -139.9f}, {220.1f, 140.1f}}, -50, 0},
        {{{-219.9f, -139.9f}, {220.1f, 139.0f}}, 0, 2},  // one pixel of room below
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.places.begin()->x << " speed " << c.speed);
        tanksAt(c.places, -7002, c.speed);
        tb::updateCamera();
        EXPECT_EQ(tb::world.cameraZoomSpeed, c.wantSpeed);
        EXPECT_EQ(tb::world.cameraZ, -7002 + 4 * c.wantSpeed);
        EXPECT_EQ(tb::world.cameraAngle, 0.00003f);
    }
}

TEST(SimCamera, ZoomStopsAt40000AndTurnsAlways) {
    tanksAt({{0, 0}}, 39990, 10);
    tb::updateCamera();
    EXPECT_EQ(tb::world.cameraZoomSpeed, 12.0f);
    EXPECT_EQ(tb::world.cameraZ, 40000.0f);
    tanksAt({{0, 0}}, -190000, 0);
    tb::updateCamera();
    EXPECT_EQ(tb::world.cameraZ, -189992.0f);  // no lower limit
    tb::updateCamera();
    EXPECT_EQ(tb::world.cameraAngle, float(double(0.00003f) + double(0.00003f)));
}

TEST(SimCamera, HoldsStillWithNoTankInPlay) {
    tanksAt({{300, 300}}, -1000, 10);
    tb::world.tanks[0].active = 0;
    tb::world.cameraX = 5, tb::world.cameraY = 7;
    tb::updateCamera();
    EXPECT_EQ(std::tuple(tb::world.cameraX, tb::world.cameraY, tb::world.cameraZ, tb::world.cameraZoomSpeed),
              std::tuple(5.0f, 7.0f, -1000.0f, 10.0f));
    // It still turns, by a single-precision step, and is never wrapped.
    float angle = tb::world.cameraAngle;
    for (int n = 0; n < 300000; ++n) {
        angle = float(double(angle) + double(0.00003f));
        tb::updateCamera();
        ASSERT_EQ(tb::world.cameraAngle, angle) << n;
    }
    EXPECT_GT(angle, 8.9f);
}

}  // namespace
