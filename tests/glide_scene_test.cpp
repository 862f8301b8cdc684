// The game's picture through the software Glide, checked by property rather
// than by image: the bare ground's colour, and a tank hiding the ground where
// it stands.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/softglide.h"
#include "platform/stream.h"
#include "render/render.h"
#include "sim/sim.h"

#ifdef TANKBATTLE_GENERATED_DATA
namespace {

constexpr int W = softglide::kScreenWidth, H = softglide::kScreenHeight;

class GlideScene : public ::testing::Test {
protected:
    void SetUp() override {
        softglide::setRasterEnabled(true);
        platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
        tb::world = tb::WorldState{};
        tb::initGame();
    }
    void TearDown() override { platform::setDataDirectory("."); }
};

// Grey texels of 26..31 (214..255 in 8 bits) under the ground's vertex colour
// (55, 55, 155): red = green in 159..200, blue 100 below, fully opaque.
bool looksLikeBareGround(std::uint32_t p) {
    const int a = int(p >> 24), r = int((p >> 16) & 255), g = int((p >> 8) & 255), b = int(p & 255);
    return a == 255 && r == g && r >= 159 && r <= 200 && b == r - 100;
}

TEST_F(GlideScene, GroundAwayFromEverythingShowsTheTextureMinusItsColour) {
    const float zooms[] = {-180000.0f, 40000.0f};
    for (float zoom : zooms) {
        SCOPED_TRACE(zoom);
        tb::world.cameraX = 6000.0f;
        tb::world.cameraY = -7000.0f;
        tb::world.cameraAngle = 0.7f;
        tb::world.cameraZ = zoom;
        tb::drawFrame();
        const std::uint32_t* frame = softglide::frontBuffer();
        int bad = 0;
        for (int i = 0; i < W * H; ++i) bad += !looksLikeBareGround(frame[i]);
        EXPECT_EQ(bad, 0);
    }
}

TEST_F(GlideScene, TankAtTheCameraCentreCoversTheCentrePixel) {
    tb::world.cameraX = tb::world.tanks[0].x;
    tb::world.cameraY = tb::world.tanks[0].y;
    tb::world.cameraZ = 40000.0f;  // closest zoom: the tank spans many pixels
    grBufferClear(0, 0, 0xFFFF);
    tb::drawGround();
    const std::uint32_t groundOnly = softglide::backBuffer()[240 * W + 320];
    EXPECT_EQ(softglide::depthBuffer()[240 * W + 320], 60000);
    grBufferClear(0, 0, 0xFFFF);
    tb::drawTanks();
    tb::drawGround();
    EXPECT_LT(softglide::depthBuffer()[240 * W + 320], 60000);  // the tank's depth survived the ground
    EXPECT_NE(softglide::backBuffer()[240 * W + 320], groundOnly);
    EXPECT_TRUE(looksLikeBareGround(softglide::backBuffer()[10 * W + 10]));  // a corner far from the tank
}

}  // namespace
#endif
