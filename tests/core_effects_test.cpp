// Firing, explosions and a tank's destruction at the edges: the lowest free
// slots, full tables, one free wreck slot, and the reset that forgets a tank.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/world.h"
#include "play/play.h"
#include "test_support.h"

namespace {

using tbtest::Lcg;
using Names = std::vector<std::string>;
constexpr std::uint32_t kSeed = 987654321u;

class PlayEffects : public ::testing::Test {
protected:
    tbtest::SoundLog sound;

    void SetUp() override {
        tb::world = tb::WorldState{};
        for (int i = 0; i < tb::kTankCount; ++i) {
            tb::world.tanks[i].team = i % 2;
            tb::world.tanks[i].target = -1;
            tb::world.tanks[i].z = 1.0f;
            tb::world.tanks[i].health = 16.0f;
        }
        tb::world.teamBalance = 0.5f;
        tb::world.randomState = kSeed;
        sound.played.clear();
    }
    static int count(const auto& table) {
        int n = 0;
        for (const auto& r : table) n += r.active;
        return n;
    }
};

TEST_F(PlayEffects, ShotsTakeTheLowestFreeSlotsAndAFullTableDropsOnlyItsRecord) {
    tb::world.shells[0].active = 1;
    tb::world.shells[2].active = 1;
    tb::world.muzzleSmoke[1].active = 1;
    tb::fireShell(5);
    tb::fireShell(4);
    EXPECT_EQ(tb::world.shells[1].owner, 5);
    EXPECT_EQ(tb::world.shells[3].owner, 4);
    EXPECT_EQ(tb::world.muzzleSmoke[0].x, tb::world.shells[1].x);
    EXPECT_EQ(tb::world.muzzleSmoke[2].x, tb::world.shells[3].x);

    SetUp();
    for (tb::Shell& s : tb::world.shells) s.active = 1;
    tb::fireShell(0);  // no shell: still reloads and sounds, and makes no smoke
    EXPECT_EQ(tb::world.tanks[0].reload, 40.0f);
    EXPECT_EQ(sound.played, Names{"bumm.wav"});
    EXPECT_EQ(count(tb::world.muzzleSmoke), 0);

    SetUp();
    for (tb::MuzzleSmoke& m : tb::world.muzzleSmoke) m.active = 1, m.life = 7.0f;
    tb::fireShell(0);  // no smoke: the shell still flies
    EXPECT_EQ(count(tb::world.shells), 1);
    for (const tb::MuzzleSmoke& m : tb::world.muzzleSmoke) EXPECT_EQ(m.life, 7.0f);
}

TEST_F(PlayEffects, AnExplosionTakesOneRandomNumberAndOnlyTheBigKindSounds) {
    tb::world.explosions[0].active = 1;
    tb::spawnExplosion(12.5f, -3.25f, 1);
    Lcg lcg{kSeed};
    const tb::Explosion& e = tb::world.explosions[1];
    EXPECT_EQ(std::tuple(int(e.active), int(e.kind), e.x, e.y, e.z, e.life, e.spin),
              std::tuple(1, 1, 12.5f, -3.25f, 1400.0f, 100.0f, float(lcg.next())));
    EXPECT_EQ(tb::world.randomState, lcg.state);
    EXPECT_TRUE(sound.played.empty());
    tb::spawnExplosion(0, 0, 0);
    EXPECT_EQ(sound.played, Names{"expl.wav"});

    SetUp();  // a full table: the big kind still sounds, nothing is drawn or changed
    for (tb::Explosion& x : tb::world.explosions) x.active = 1, x.life = 3.0f;
    tb::spawnExplosion(1, 2, 0);
    tb::spawnExplosion(1, 2, 1);
    EXPECT_EQ(sound.played, Names{"expl.wav"});
    EXPECT_EQ(tb::world.randomState, kSeed);
    for (const tb::Explosion& x : tb::world.explosions) EXPECT_EQ(x.life, 3.0f);
}

// ---- destruction ----

TEST_F(PlayEffects, WithOneFreeWreckSlotOnlyTheFirstPartIsMade) {
    for (bool removal : {false, true}) {
        SetUp();
        for (tb::WreckPart& w : tb::world.wreckParts) w.active = 1, w.kind = 9;
        tb::world.wreckParts[17].active = 0;
        removal ? tb::removeTank(2) : tb::wreckTank(2);
        EXPECT_EQ(tb::world.wreckParts[17].kind, removal ? 1 : 0);  // a removal's first track, or the hull
        EXPECT_EQ(count(tb::world.explosions), 4);
    }
}

TEST_F(PlayEffects, TheResetPutsTheTankInItsHangarAndForgetsIt) {
    for (int tank : {6, 7}) {
        tb::Tank& t = tb::world.tanks[tank];
        t = tb::Tank{1, tank % 2, 1, 0, 0, 5, 6, 1, -1, 0.02f, 0.016f, 1, 0.5f, -0.5f, 0, 0.25f, 33};
        tb::world.tanks[0].target = tank;
        tb::world.tanks[11].target = tank;
        tb::world.tanks[1].target = 3;
        tb::world.shells[10] = tb::Shell{1, 0, tank, 0, 0, 0, 0, 0};  // in flight
        tb::world.shells[200].owner = tank;                           // a free record is cleared too
        tb::world.shells[201].owner = 3;
        tb::wreckTank(tank);
        SCOPED_TRACE(tank);
        // Back in its hangar (y = 200 * (tank / 2) - 500) and standing; reload and marker left alone.
        const float heading = tank % 2 == 0 ? float(-1.570796327) : float(3.141592654 - 1.570796327);
        EXPECT_EQ(std::tuple(t.x, t.y, t.heading, t.runIn, t.turretAngle, t.turretRate, t.speed, t.turnRate, t.health,
                             t.target, t.reload, t.markerAngle),
                  std::tuple(tank % 2 == 0 ? 500.0f : -500.0f, 100.0f, heading, 130, 0.0f, 0.0f, 0.0f, 0.0f, 16.0f, -1,
                             33.0f, 0.25f));
        // No tank aims at it and no shell, flying or free, is its any more.
        EXPECT_EQ(std::tuple(tb::world.tanks[0].target, tb::world.tanks[11].target, tb::world.tanks[1].target),
                  std::tuple(-1, -1, 3));
        EXPECT_EQ(std::tuple(tb::world.shells[10].owner, tb::world.shells[200].owner, tb::world.shells[201].owner),
                  std::tuple(-1, -1, 3));
    }
    // Team 0 raised the balance, team 1 lowered it again, each in single precision.
    EXPECT_EQ(tb::world.teamBalance, 0.5f + 0.05f - 0.05f);
}

}  // namespace
