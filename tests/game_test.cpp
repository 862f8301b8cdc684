// The game layer around the simulation: the controls (first-frame rule, the
// double key query, fixed key order, fire keys), firing, explosions and a
// tank's destruction at the edges of full tables, and what drawing does to the
// world (random numbers, heat, the clamped balance, texture slots).
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/glide.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "play/play.h"
#include "render/render.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

// The 30 game keys in the order the controls handle them.
const std::vector<int>& kKeyOrder = platform::gameKeyCodes();

// Answers the n-th query of a key from a script (no press when the script runs out) and logs every query.
class ScriptedKeyboard : public platform::Keyboard {
public:
    std::map<int, std::vector<bool>> script;
    std::vector<int> queries;

    void press(int key) { script[key] = {true}; }  // reported to the first query of the key
    int asked(int key) const { return int(std::count(queries.begin(), queries.end(), key)); }
    bool pressedSinceLastQuery(int key) override {
        const std::size_t n = std::size_t(asked(key));
        queries.push_back(key);
        const auto it = script.find(key);
        return it != script.end() && n < it->second.size() && it->second[n];
    }
};

class PlayControls : public ::testing::Test {
protected:
    ScriptedKeyboard keys;
    tbtest::SoundLog sound;

    void SetUp() override {
        tb::world = tb::WorldState{};
        tb::world.coopMode = 1;
        for (int i = 0; i < tb::kTankCount; ++i)
            tb::world.tanks[i] = tb::Tank{i < 2, i % 2, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
        platform::setKeyboard(&keys);
    }
    void TearDown() override { platform::setKeyboard(nullptr); }
    // One frame with only these keys pressed.
    void frame(std::initializer_list<int> pressed) {
        keys = ScriptedKeyboard{};
        for (int key : pressed) keys.press(key);
        tb::readControls();
    }
};

TEST_F(PlayControls, KeysAreQueriedInTheFixedOrderAndAgainOnlyWhenNotPressed) {
    std::vector<int> expected;
    for (int key : kKeyOrder) expected.insert(expected.end(), {key, key});
    for (int firstFrame : {1, 0}) {
        tb::world.firstFrame = std::uint8_t(firstFrame);
        frame({});
        EXPECT_EQ(keys.queries, expected) << "firstFrame " << firstFrame;
    }
    frame({'P'});
    EXPECT_EQ(keys.asked('P'), 1);
    EXPECT_EQ(tb::world.autoPilot1, 1);
    keys = ScriptedKeyboard{};
    keys.script['O'] = {false, true};  // a press reported only to the second query counts
    tb::readControls();
    EXPECT_EQ(tb::world.autoPilot2, 1);
}

TEST_F(PlayControls, FirstFrameUsesUpPressesWithoutActingExceptEscapeOnItsFirstQuery) {
    const struct {
        std::uint8_t firstFrame;
        bool escapeOnFirstQuery;
        std::uint8_t quits;
    } cases[] = {{1, false, 0}, {1, true, 1}, {0, false, 1}, {0, true, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "firstFrame " << int(c.firstFrame) << " first query "
                                        << c.escapeOnFirstQuery);
        SetUp();
        tb::world.firstFrame = c.firstFrame;
        keys = ScriptedKeyboard{};
        for (int key : kKeyOrder) keys.press(key);
        keys.script[0x1B] = {c.escapeOnFirstQuery, true};
        tb::readControls();
        EXPECT_EQ(tb::world.quitRequested, c.quits);
        if (c.firstFrame) {  // P asked once: its press is used up
            EXPECT_EQ(std::tuple(int(tb::world.autoPilot1), int(tb::world.coopMode), int(tb::world.tanks[3].active),
                                 tb::world.tanks[0].speed, tbtest::active(tb::world.shells), sound.played.size(),
                                 keys.asked('P')),
                      std::tuple(0, 1, 0, 0.0f, 0, 0u, 1));
        }
    }
}

TEST_F(PlayControls, FireKeysFireOnceWhenTheReloadIsZero) {
    // reload: of the firing player's tank; owner -1: no shot. Both fire keys in one frame: the
    // second finds the reload at 40. -0 counts as ready. In versus mode player 2 fires tank 1.
    // clang-format off
    const struct { std::initializer_list<int> keys; std::uint8_t coop; float reload; int owner; } cases[] = {
        {{0x27, 0x0D}, 1, 0, 0}, {{0x27}, 1, 0.5f, -1}, {{0x0D}, 1, 0.5f, -1}, {{0x20, 0x11}, 1, 0, 2},
        {{0x20}, 1, 0.5f, -1}, {{0x11}, 1, -0.0f, 2}, {{0x20}, 0, 0, 1}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "first key " << *c.keys.begin() << " coop " << int(c.coop) << " reload "
                                        << c.reload);
        SetUp();
        sound.played.clear();
        tb::world.coopMode = c.coop, tb::world.autoPilot1 = 1, tb::world.autoPilot2 = 1;
        const int firing = *c.keys.begin() == 0x27 || *c.keys.begin() == 0x0D ? 0 : (c.coop ? 2 : 1);
        tb::world.tanks[firing].reload = c.reload;
        frame(c.keys);
        const bool shot = c.owner >= 0;
        EXPECT_EQ(std::tuple(tbtest::active(tb::world.shells), sound.played.size(), tb::world.tanks[firing].reload,
                             int(tb::world.autoPilot1), int(tb::world.autoPilot2)),
                  std::tuple(int(shot), std::size_t(shot), shot ? 40.0f : c.reload, c.owner == 0 ? 0 : 1,
                             c.owner > 0 ? 0 : 1));
        EXPECT_TRUE(!shot || (tb::world.shells[0].owner == c.owner && tb::world.shells[0].team == c.owner % 2));
    }
}

using Names = std::vector<std::string>;
constexpr std::uint32_t kSeed = 987654321u;

class PlayEffects : public ::testing::Test {
protected:
    tbtest::SoundLog sound;

    void SetUp() override {
        tb::world = tb::WorldState{};
        for (int i = 0; i < tb::kTankCount; ++i)
            tb::world.tanks[i] = tb::Tank{0, i % 2, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 16, 0, 0, 0};
        tb::world.teamBalance = 0.5f;
        tb::world.randomState = kSeed;
        sound.played.clear();
    }
};

TEST_F(PlayEffects, ShotsTakeTheLowestFreeSlotsAndAFullTableDropsOnlyItsRecord) {
    tb::world.shells[0].active = 1;
    tb::world.shells[2].active = 1;
    tb::world.muzzleSmoke[1].active = 1;
    tb::fireShell(5);
    tb::fireShell(4);
    EXPECT_EQ(std::pair(tb::world.shells[1].owner, tb::world.shells[3].owner), std::pair(5, 4));
    EXPECT_EQ(std::pair(tb::world.muzzleSmoke[0].x, tb::world.muzzleSmoke[2].x),
              std::pair(tb::world.shells[1].x, tb::world.shells[3].x));

    SetUp();
    for (tb::Shell& s : tb::world.shells) s.active = 1;
    tb::fireShell(0);  // no shell: still reloads and sounds, and makes no smoke
    EXPECT_EQ(std::tuple(tb::world.tanks[0].reload, sound.played, tbtest::active(tb::world.muzzleSmoke)),
              std::tuple(40.0f, Names{"bumm.wav"}, 0));

    SetUp();
    for (tb::MuzzleSmoke& m : tb::world.muzzleSmoke) m.active = 1, m.life = 7.0f;
    tb::fireShell(0);  // no smoke: the shell still flies
    EXPECT_EQ(tbtest::active(tb::world.shells), 1);
    for (const tb::MuzzleSmoke& m : tb::world.muzzleSmoke) EXPECT_EQ(m.life, 7.0f);
}

TEST_F(PlayEffects, AFullExplosionTableDrawsNothingButTheBigKindStillSounds) {
    for (tb::Explosion& x : tb::world.explosions) x.active = 1, x.life = 3.0f;
    tb::spawnExplosion(1, 2, 0);
    tb::spawnExplosion(1, 2, 1);
    EXPECT_EQ(std::pair(sound.played, tb::world.randomState), std::pair(Names{"expl.wav"}, kSeed));
    for (const tb::Explosion& x : tb::world.explosions) EXPECT_EQ(x.life, 3.0f);
}

TEST_F(PlayEffects, WithOneFreeWreckSlotOnlyTheFirstPartIsMade) {
    for (bool removal : {false, true}) {
        SetUp();
        for (tb::WreckPart& w : tb::world.wreckParts) w.active = 1, w.kind = 9;
        tb::world.wreckParts[17].active = 0;
        removal ? tb::removeTank(2) : tb::wreckTank(2);
        EXPECT_EQ(tb::world.wreckParts[17].kind, removal ? 1 : 0);  // a removal's first track, or the hull
        EXPECT_EQ(tbtest::active(tb::world.explosions), 4);
    }
}

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

    static int cell(int row, int column) { return row * 16 + column; }
};

TEST_F(RenderWorldEffects, HeatSamplesBeyondTheGridReadItsBorderCells) {
    tb::world.heatGrid[cell(15, 0)] = 27;
    EXPECT_EQ(tb::sampleHeat(699.0f, -700.0f), 27);  // every sample lands in row 15, column 0
    EXPECT_EQ(tb::sampleHeat(5000.0f, -5000.0f), 27);
    tb::world.heatGrid[cell(0, 15)] = 18;
    // Rows 0, 0, 1 from x offsets -10, 0, +10; every column clamped to 15.
    EXPECT_EQ(tb::sampleHeat(-620.0f, 700.0f), 18 * 6 / 9);
}

TEST_F(RenderWorldEffects, TheGaugeClampsTheBalanceAndStoresIt) {
    const float cases[][2] = {{1.2f, 1.0f}, {-0.3f, 0.0f}, {0.7f, 0.7f}, {1.0f, 1.0f}, {0.0f, 0.0f}};
    for (const auto& c : cases) {
        tb::world.teamBalance = c[0];
        tb::drawBalanceGauge();
        EXPECT_EQ(tb::world.teamBalance, c[1]) << c[0];
    }
}

// What of a model triangle decides its pixels. A texture slot outside the
// tables draws like -1 (with no texture: not at all), never through the
// records beyond the tables. The colour is the first corner's: the other
// corners' are never read.
TEST_F(RenderWorldEffects, SlotsOutsideTheTablesDrawUntexturedAndTheFirstCornerColours) {
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    tb::world = tb::WorldState{};
    tb::initGame();                // the model and the seven textures in their slots
    tb::world.cameraZ = 40000.0f;  // the closest zoom, over the hull drawn at (0, 0)
    softglide::setRasterEnabled(true);
    tb::setBlendOpaque();
    const tb::ModelBuffer model = tb::world.model;
    auto picture = [&](auto change) {
        for (int i = 0; i < tb::kMeshTriangles; ++i) change(tb::world.model.triangles[i]);
        grBufferClear(0, 0, 0xFFFF);
        tb::drawMesh(0, 0, 1, 0, 0, 0, 0);
        grBufferSwap(1);
        tb::world.model = model;
        const std::uint32_t* frame = softglide::frontBuffer();
        return std::vector<std::uint32_t>(frame, frame + softglide::kScreenWidth * softglide::kScreenHeight);
    };
    auto slot = [](std::int32_t texture) { return [texture](tb::ModelTriangle& t) { t.texture = texture; }; };
    const std::vector<std::uint32_t> untextured = picture(slot(-1)), textured = picture(slot(0));
    EXPECT_TRUE(picture(slot(tb::kTextureSlots)) == untextured);
    EXPECT_TRUE(picture(slot(1 << 30)) == untextured);
    EXPECT_FALSE(textured == untextured);  // slot 0 is a texture like the others
    // The other corners' colours change nothing; each of the first corner's channels does.
    const auto otherCorners = [](tb::ModelTriangle& t) {
        t.texture = 0;
        for (int k : {1, 2}) t.red[k] = t.green[k] = t.blue[k] = t.alpha[k] = 77;
    };
    EXPECT_TRUE(picture(otherCorners) == textured);
    for (auto channel : {&tb::ModelTriangle::red, &tb::ModelTriangle::green, &tb::ModelTriangle::blue}) {
        const auto firstCorner = [channel](tb::ModelTriangle& t) { t.texture = 0, (t.*channel)[0] += 60; };
        EXPECT_FALSE(picture(firstCorner) == textured);
    }
    tb::shutdownDisplay();
}

}  // namespace
