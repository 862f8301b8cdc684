// What drawing does to the world: random numbers drawn by the team markers and
// the shells, heat raised under shells and explosions, the balance clamped, and
// the heat sampled around a mesh's origin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/glide.h"
#include "platform/glide/softglide.h"
#include "platform/stream.h"
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

// A triangle naming a texture slot outside the tables is drawn like one naming
// -1 (with no texture: not at all), never through the records beyond the tables.
TEST_F(RenderWorldEffects, ModelSlotsOutsideTheTextureTablesDrawUntextured) {
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    tb::world = tb::WorldState{};
    tb::initGame();                // the model and the seven textures in their slots
    tb::world.cameraZ = 40000.0f;  // the closest zoom, over the hull drawn at (0, 0)
    softglide::setRasterEnabled(true);
    tb::setBlendOpaque();
    auto picture = [](std::int32_t texture) {
        for (int i = 0; i < tb::kMeshTriangles; ++i) tb::world.model.triangles[i].texture = texture;
        grBufferClear(0, 0, 0xFFFF);
        tb::drawMesh(0, 0, 1, 0, 0, 0, 0);
        grBufferSwap(1);
        const std::uint32_t* frame = softglide::frontBuffer();
        return std::vector<std::uint32_t>(frame, frame + softglide::kScreenWidth * softglide::kScreenHeight);
    };
    const std::vector<std::uint32_t> untextured = picture(-1);
    EXPECT_TRUE(picture(tb::kTextureSlots) == untextured);
    EXPECT_TRUE(picture(1 << 30) == untextured);
    EXPECT_FALSE(picture(0) == untextured);  // slot 0 is a texture like the others
    tb::shutdownDisplay();
}

}  // namespace
