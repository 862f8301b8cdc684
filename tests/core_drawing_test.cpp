// What drawing does to the world: random numbers drawn by the team markers and
// the shells, heat raised under shells and explosions, the balance clamped, and
// the heat sampled around a mesh's origin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "core/world.h"
#include "platform/glide/softglide.h"
#include "render/render.h"

namespace {

std::uint32_t advance(std::uint32_t state, int draws) {
    for (int i = 0; i < draws; ++i) state = state * 1103515245u + 12345u;
    return state;
}

constexpr std::uint32_t kSeed = 4242u;

class RenderWorldEffects : public ::testing::Test {
protected:
    void SetUp() override {
        tb::world = tb::WorldState{};
        tb::world.cameraZ = -180000.0f;
        tb::world.teamBalance = 0.5f;
        tb::world.randomState = kSeed;
        softglide::setRasterEnabled(false);
    }
    void TearDown() override { softglide::setRasterEnabled(true); }

    static void setTriangle(int index, std::int32_t present) {
        tb::ModelTriangle& t = tb::world.model.triangles[index];
        t.present = present;
        t.x[0] = 0, t.x[1] = 10, t.x[2] = 0;
        t.y[0] = 0, t.y[1] = 0, t.y[2] = 10;
        t.texture = 0;
    }
    static int cell(int row, int column) { return row * 16 + column; }
};

TEST_F(RenderWorldEffects, HeatSampleAtTheCentreCountsRowSevenColumnSevenFourTimes) {
    // Offsets -10, 0, +10 from (0, 0) fall into rows and columns 7, 7, 8.
    struct Case {
        int cell;
        int value;
        std::int32_t expected;
    } cases[] = {{cell(7, 7), 9, 4},  {cell(7, 8), 45, 10}, {cell(8, 7), 45, 10}, {cell(8, 8), 63, 7},
                 {cell(6, 6), 65, 0}, {cell(6, 7), 65, 0},  {cell(9, 8), 65, 0},  {cell(8, 9), 65, 0}};
    for (const Case& c : cases) {
        tb::world.heatGrid[c.cell] = std::uint8_t(c.value);
        EXPECT_EQ(tb::sampleHeat(0, 0), c.expected) << "cell " << c.cell;
        tb::world.heatGrid[c.cell] = 0;
    }
    // The sum of the nine samples is divided with the remainder dropped.
    tb::world.heatGrid[cell(7, 7)] = 10;
    tb::world.heatGrid[cell(8, 8)] = 4;
    EXPECT_EQ(tb::sampleHeat(0, 0), 4);  // 44 / 9
}

TEST_F(RenderWorldEffects, HeatSamplesBeyondTheGridReadItsBorderCells) {
    tb::world.heatGrid[cell(15, 0)] = 27;
    EXPECT_EQ(tb::sampleHeat(699.0f, -700.0f), 27);  // every sample lands in row 15, column 0
    EXPECT_EQ(tb::sampleHeat(5000.0f, -5000.0f), 27);
    tb::world.heatGrid[cell(0, 15)] = 18;
    // Rows 0, 0, 1 from x offsets -10, 0, +10; every column clamped to 15.
    EXPECT_EQ(tb::sampleHeat(-620.0f, 700.0f), 18 * 6 / 9);
}

TEST_F(RenderWorldEffects, ShellsAndExplosionsHeatTheirCellByTenUpToSixtyFive) {
    struct Case {
        bool shell;
        float x, y;
        int cell;  // -1: outside the battlefield square, nothing heats
        int before, after;
    } cases[] = {{true, 0.0f, 0.0f, cell(7, 7), 0, 10},
                 {true, -700.0f, -700.0f, cell(0, 0), 5, 15},
                 {true, 699.9f, 699.9f, cell(15, 15), 60, 65},
                 {true, -612.5f, 87.5f, cell(0, 8), 0, 10},
                 {true, -700.5f, 0.0f, -1, 0, 0},
                 {true, 700.0f, 0.0f, -1, 0, 0},
                 {true, 0.0f, 700.0f, -1, 0, 0},
                 {false, -10.0f, -10.0f, cell(7, 7), 5, 15},
                 {false, -340.0f, -300.0f, cell(4, 4), 0, 10},
                 {false, -350.0f, -300.0f, cell(3, 4), 60, 65},
                 {false, 800.0f, 0.0f, -1, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.shell ? "shell at " : "explosion at ") << c.x << ", " << c.y);
        SetUp();
        if (c.cell >= 0) tb::world.heatGrid[c.cell] = std::uint8_t(c.before);
        if (c.shell) {
            tb::world.shells[239] = tb::Shell{1, 0, 0, c.x, c.y, 1701.0f, 0, 100};
            tb::drawShells();
        } else {
            tb::world.explosions[95] = tb::Explosion{1, 0, c.x, c.y, 1400.0f, 0, 50.0f};
            tb::drawExplosions();
        }
        int total = 0;
        for (std::uint8_t h : tb::world.heatGrid) total += h;
        EXPECT_EQ(total, c.after);
        if (c.cell >= 0) {
            EXPECT_EQ(tb::world.heatGrid[c.cell], c.after);
        }
        // A shell takes one random number whether or not it heats; an explosion none.
        EXPECT_EQ(tb::world.randomState, advance(kSeed, c.shell ? 1 : 0));
    }
}

TEST_F(RenderWorldEffects, TheGaugeClampsTheBalanceAndStoresIt) {
    const float cases[][2] = {{1.2f, 1.0f}, {-0.3f, 0.0f}, {0.7f, 0.7f}, {1.0f, 1.0f}, {0.0f, 0.0f}};
    for (const auto& c : cases) {
        tb::world.teamBalance = c[0];
        tb::drawBalanceGauge();
        EXPECT_EQ(tb::world.teamBalance, c[1]) << c[0];
    }
}

TEST_F(RenderWorldEffects, AFrameDrawsSixNumbersPerDrawnMarkerTriangleAndOnePerShell) {
    // Mesh 3: three drawn triangles, and three that are not drawn (present 0, 2 and -1).
    setTriangle(63, 1);
    setTriangle(64, 2);
    setTriangle(66, 1);
    setTriangle(70, -1);
    setTriangle(83, 1);
    setTriangle(65, 0);
    // Drawn triangles of other meshes take no random numbers.
    for (int first : {0, 21, 42, 84, 105, 126, 147, 168, 189, 210, 231, 252, 273, 294, 315, 336})
        for (int i = 0; i < 21; ++i) setTriangle(first + i, 1);
    for (int t : {0, 1, 5}) {
        tb::Tank& tank = tb::world.tanks[t];
        tank.active = 1;
        tank.team = t % 2;
        tank.health = 16.0f;
        tank.x = float(100 * t);
    }
    tb::world.shells[3].active = 1;
    tb::world.shells[3].x = 0;
    tb::world.shells[3].y = 0;
    tb::world.shells[100].active = 1;
    tb::world.shells[100].x = 100;
    tb::world.shells[100].y = -200;
    tb::world.explosions[0].active = 1;
    tb::world.explosions[0].life = 95.0f;
    tb::world.muzzleSmoke[0].active = 1;
    tb::world.muzzleSmoke[0].life = 150.0f;
    tb::world.wreckParts[0].active = 1;
    tb::world.debris[0].active = 1;
    tb::world.debris[0].kind = 14;
    tb::world.teamBalance = 1.5f;

    tb::drawFrame();

    // 12 hangars x 2 markers, 3 tanks x 2 markers, 2 gauge rows x 10 markers.
    const int markerCalls = 24 + 6 + 20;
    EXPECT_EQ(tb::world.randomState, advance(kSeed, markerCalls * 3 * 6 + 2));
    EXPECT_EQ(tb::world.teamBalance, 1.0f);
    // Shell at (0, 0) and explosion at (0, 0): cell 119 twice; shell at (100, -200): row 9, column 5.
    EXPECT_EQ(tb::world.heatGrid[cell(7, 7)], 20);
    EXPECT_EQ(tb::world.heatGrid[cell(9, 5)], 10);
}

TEST_F(RenderWorldEffects, ATankInPlayAddsItsTwoMarkersWhateverItsHealth) {
    setTriangle(63, 1);
    for (float health : {16.0f, 6.0f, 3.0f, -1.0f}) {
        tb::world.randomState = kSeed;
        tb::world.tanks[4].active = 1;
        tb::world.tanks[4].health = health;
        tb::drawFrame();
        EXPECT_EQ(tb::world.randomState, advance(kSeed, (24 + 2 + 20) * 6)) << health;
    }
}

}  // namespace
