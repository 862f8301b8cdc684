// Firing, explosions and a tank's destruction: which records are made, in
// which slots, with which random numbers, and what a full table still does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/world.h"
#include "play/play.h"
#include "platform/sound.h"

namespace {

// The game's generator written out again: state * 1103515245 + 12345, draws are bits 16..30.
struct Lcg {
    std::uint32_t state;
    int next() {
        state = state * 1103515245u + 12345u;
        return int((state >> 16) & 0x7FFF);
    }
};

class RecordingSound : public platform::Sound {
public:
    std::vector<std::string> played;
    void play(const char* name) override { played.push_back(name); }
};

class PlayEffects : public ::testing::Test {
protected:
    RecordingSound sound;
    static constexpr std::uint32_t kSeed = 987654321u;

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
        platform::setSound(&sound);
    }
    void TearDown() override { platform::setSound(nullptr); }

    static int count(const auto& table) {
        int n = 0;
        for (const auto& r : table) n += r.active;
        return n;
    }
};

// ---- firing ----

TEST_F(PlayEffects, FiringMakesAShellAndSmokeAtTheMuzzle) {
    tb::Tank& t = tb::world.tanks[3];
    t.x = 100.0f;
    t.y = -50.0f;
    t.heading = 0.3f;
    t.turretAngle = 0.45f;
    tb::fireShell(3);
    const float d = 0.3f + 0.45f;
    const tb::Shell& s = tb::world.shells[0];
    EXPECT_EQ(t.reload, 40.0f);
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(s.owner, 3);
    EXPECT_EQ(s.team, 1);
    EXPECT_EQ(s.heading, d);
    EXPECT_EQ(s.x, float(100.0 + 40.0 * std::sin(double(d))));
    EXPECT_EQ(s.y, float(-50.0 - 40.0 * std::cos(double(d))));
    EXPECT_EQ(s.z, 1701.0f);
    EXPECT_EQ(s.life, 280.0f);
    const tb::MuzzleSmoke& m = tb::world.muzzleSmoke[0];
    EXPECT_EQ(m.active, 1);
    EXPECT_EQ(m.x, s.x);
    EXPECT_EQ(m.y, s.y);
    EXPECT_EQ(m.z, 2101.0f);
    EXPECT_EQ(m.heading, d);
    EXPECT_EQ(m.life, 200.0f);
    EXPECT_EQ(sound.played, std::vector<std::string>{"bumm.wav"});
    EXPECT_EQ(tb::world.randomState, kSeed);  // firing draws no random numbers
}

TEST_F(PlayEffects, ATurretTurnedAQuarterTurnFiresSideways) {
    tb::Tank& t = tb::world.tanks[0];
    t.x = 200.0f;
    t.y = 300.0f;
    t.turretAngle = 1.5707964f;
    tb::fireShell(0);
    const tb::Shell& s = tb::world.shells[0];
    EXPECT_NEAR(s.x, 240.0f, 1e-4);
    EXPECT_NEAR(s.y, 300.0f, 1e-4);
    EXPECT_EQ(s.heading, 1.5707964f);
}

TEST_F(PlayEffects, AFullShellTableStillReloadsAndSounds) {
    for (tb::Shell& s : tb::world.shells) s.active = 1;
    tb::fireShell(0);
    EXPECT_EQ(tb::world.tanks[0].reload, 40.0f);
    EXPECT_EQ(sound.played, std::vector<std::string>{"bumm.wav"});
    EXPECT_EQ(count(tb::world.muzzleSmoke), 0);
}

TEST_F(PlayEffects, AFullSmokeTableLetsTheShellFlyWithoutSmoke) {
    for (tb::MuzzleSmoke& m : tb::world.muzzleSmoke) {
        m.active = 1;
        m.life = 7.0f;
    }
    tb::fireShell(0);
    EXPECT_EQ(count(tb::world.shells), 1);
    for (const tb::MuzzleSmoke& m : tb::world.muzzleSmoke) EXPECT_EQ(m.life, 7.0f);
}

TEST_F(PlayEffects, ShotsTakeTheLowestFreeSlotsInCallOrder) {
    tb::world.shells[0].active = 1;
    tb::world.shells[2].active = 1;
    tb::world.muzzleSmoke[1].active = 1;
    tb::fireShell(5);
    tb::fireShell(4);
    EXPECT_EQ(tb::world.shells[1].owner, 5);
    EXPECT_EQ(tb::world.shells[3].owner, 4);
    EXPECT_EQ(tb::world.muzzleSmoke[0].x, tb::world.shells[1].x);
    EXPECT_EQ(tb::world.muzzleSmoke[2].x, tb::world.shells[3].x);
}

// ---- explosions ----

TEST_F(PlayEffects, AnExplosionTakesOneRandomNumberForItsSpin) {
    tb::world.explosions[0].active = 1;
    tb::spawnExplosion(12.5f, -3.25f, 1);
    Lcg lcg{kSeed};
    const tb::Explosion& e = tb::world.explosions[1];
    EXPECT_EQ(e.active, 1);
    EXPECT_EQ(e.kind, 1);
    EXPECT_EQ(e.x, 12.5f);
    EXPECT_EQ(e.y, -3.25f);
    EXPECT_EQ(e.z, 1400.0f);
    EXPECT_EQ(e.life, 100.0f);
    EXPECT_EQ(e.spin, float(lcg.next()));
    EXPECT_EQ(tb::world.randomState, lcg.state);
    EXPECT_TRUE(sound.played.empty());  // the small kind is silent
    tb::spawnExplosion(0, 0, 0);
    EXPECT_EQ(sound.played, std::vector<std::string>{"expl.wav"});
}

TEST_F(PlayEffects, AFullExplosionTableSoundsButDrawsNothing) {
    for (tb::Explosion& e : tb::world.explosions) {
        e.active = 1;
        e.life = 3.0f;
    }
    tb::spawnExplosion(1, 2, 0);
    tb::spawnExplosion(1, 2, 1);
    EXPECT_EQ(sound.played, std::vector<std::string>{"expl.wav"});
    EXPECT_EQ(tb::world.randomState, kSeed);
    for (const tb::Explosion& e : tb::world.explosions) EXPECT_EQ(e.life, 3.0f);
}

// ---- destruction ----

// What one wreck part should be, from the next three draws: x jitter, y jitter, heading offset.
struct ExpectedPart {
    float x, y, heading;
};
ExpectedPart expectPart(Lcg& lcg, double x, double y, int n, int m, double heading) {
    const int jx = -n + lcg.next() % m;
    const int jy = -n + lcg.next() % m;
    const double a = double(lcg.next() % 1000 - 500) / 10000.0;
    return {float(x + jx), float(y + jy), float(heading + a)};
}

// The four explosions: forward/sideways offsets, y jitter drawn before x, then the spin.
void expectFourExplosions(Lcg& lcg, const tb::Tank& t, int firstSlot) {
    const double f[4] = {-20, 20, -20, 20}, side[4] = {-10, -10, 10, 10};
    const double h = t.heading;
    for (int k = 0; k < 4; ++k) {
        const int jy = lcg.next() % 3 - 1;
        const int jx = lcg.next() % 3 - 1;
        const tb::Explosion& e = tb::world.explosions[firstSlot + k];
        EXPECT_EQ(e.active, 1);
        EXPECT_EQ(e.kind, 0);
        EXPECT_EQ(e.x, float(double(t.x) + f[k] * std::sin(h) + side[k] * std::cos(h) + jx)) << k;
        EXPECT_EQ(e.y, float(double(t.y) - f[k] * std::cos(h) + side[k] * std::sin(h) + jy)) << k;
        EXPECT_EQ(e.spin, float(lcg.next())) << k;
    }
}

void expectPartIs(const tb::WreckPart& w, int kind, float z, const ExpectedPart& e) {
    EXPECT_EQ(w.active, 1);
    EXPECT_EQ(w.kind, kind);
    EXPECT_EQ(w.z, z);
    EXPECT_EQ(w.x, e.x);
    EXPECT_EQ(w.y, e.y);
    EXPECT_EQ(w.heading, e.heading);
}

TEST_F(PlayEffects, AWreckLeavesHullTurretAndFourExplosionsInDrawOrder) {
    tb::Tank& t = tb::world.tanks[4];
    t.active = 1;
    t.x = 123.25f;
    t.y = -321.5f;
    t.heading = 2.5f;
    t.turretAngle = 0.75f;
    const tb::Tank before = t;
    Lcg lcg{kSeed};
    const ExpectedPart hull = expectPart(lcg, before.x, before.y, 1, 3, before.heading);
    const ExpectedPart turret =
        expectPart(lcg, before.x, before.y, 10, 20, double(before.heading) + double(before.turretAngle));
    tb::wreckTank(4);
    expectPartIs(tb::world.wreckParts[0], 0, 0.0f, hull);
    expectPartIs(tb::world.wreckParts[1], 2, 1000.0f, turret);
    expectFourExplosions(lcg, before, 0);
    EXPECT_EQ(tb::world.randomState, lcg.state);
    EXPECT_EQ(sound.played, std::vector<std::string>(4, "expl.wav"));
    EXPECT_EQ(tb::world.teamBalance, 0.55f);
    EXPECT_EQ(t.active, 1);  // still in play, driving out again
}

TEST_F(PlayEffects, ARemovalLeavesTracksExplosionsHullAndTurretInThatOrder) {
    tb::Tank& t = tb::world.tanks[9];
    t.x = -40.0f;
    t.y = 77.75f;
    t.heading = -1.25f;
    t.turretAngle = 2.0f;
    const tb::Tank before = t;
    const double h = before.heading;
    Lcg lcg{kSeed};
    const ExpectedPart track1 = expectPart(lcg, double(before.x) + 20 * std::cos(h), double(before.y) + 20 * std::sin(h), 1, 3, h);
    const ExpectedPart track2 = expectPart(lcg, double(before.x) - 20 * std::cos(h), double(before.y) - 20 * std::sin(h), 1, 3, h);
    tb::removeTank(9);
    expectPartIs(tb::world.wreckParts[0], 1, 0.0f, track1);
    expectPartIs(tb::world.wreckParts[1], 1, 0.0f, track2);
    expectFourExplosions(lcg, before, 0);
    const ExpectedPart hull = expectPart(lcg, before.x, before.y, 1, 3, h);
    const ExpectedPart turret = expectPart(lcg, before.x, before.y, 5, 10, h + double(before.turretAngle));
    expectPartIs(tb::world.wreckParts[2], 0, 0.0f, hull);
    expectPartIs(tb::world.wreckParts[3], 2, 1000.0f, turret);
    EXPECT_EQ(tb::world.randomState, lcg.state);
    EXPECT_EQ(tb::world.teamBalance, 0.5f);  // a removal moves no score
}

TEST_F(PlayEffects, TheResetPutsTheTankInItsHangarAndForgetsIt) {
    for (int tank : {6, 7}) {
        tb::Tank& t = tb::world.tanks[tank];
        t.x = 5.0f;
        t.y = 6.0f;
        t.heading = 1.0f;
        t.turretAngle = 0.5f;
        t.turretRate = 0.016f;
        t.speed = -1.0f;
        t.turnRate = 0.02f;
        t.health = -0.5f;
        t.target = 1;
        t.runIn = 0;
        t.reload = 33.0f;
        t.markerAngle = 0.25f;
        tb::world.tanks[0].target = tank;
        tb::world.tanks[11].target = tank;
        tb::world.tanks[1].target = 3;
        tb::world.shells[10].owner = tank;  // in flight
        tb::world.shells[10].active = 1;
        tb::world.shells[200].owner = tank;  // a free record is cleared too
        tb::world.shells[201].owner = 3;
        tb::wreckTank(tank);
        EXPECT_EQ(t.x, tank % 2 == 0 ? 500.0f : -500.0f);
        EXPECT_EQ(t.y, 100.0f);  // 200 * (tank / 2) - 500
        EXPECT_EQ(t.heading, tank % 2 == 0 ? float(-1.570796327) : float(3.141592654 - 1.570796327));
        EXPECT_EQ(t.runIn, 130);
        EXPECT_EQ(t.turretAngle, 0.0f);
        EXPECT_EQ(t.turretRate, 0.0f);
        EXPECT_EQ(t.speed, 0.0f);
        EXPECT_EQ(t.turnRate, 0.0f);
        EXPECT_EQ(t.health, 16.0f);
        EXPECT_EQ(t.target, -1);
        EXPECT_EQ(t.reload, 33.0f);  // left alone
        EXPECT_EQ(t.markerAngle, 0.25f);
        EXPECT_EQ(tb::world.tanks[0].target, -1);
        EXPECT_EQ(tb::world.tanks[11].target, -1);
        EXPECT_EQ(tb::world.tanks[1].target, 3);
        EXPECT_EQ(tb::world.shells[10].owner, -1);
        EXPECT_EQ(tb::world.shells[200].owner, -1);
        EXPECT_EQ(tb::world.shells[201].owner, 3);
    }
    // Team 0 raised the balance, team 1 lowered it again, each in single precision.
    EXPECT_EQ(tb::world.teamBalance, 0.5f + 0.05f - 0.05f);
}

TEST_F(PlayEffects, WithOneFreeWreckSlotOnlyTheFirstPartIsMade) {
    for (int kind = 0; kind < 2; ++kind) {
        SetUp();
        for (tb::WreckPart& w : tb::world.wreckParts) w.active = 1;
        tb::world.wreckParts[17].active = 0;
        tb::Tank& t = tb::world.tanks[2];
        t.heading = 0.5f;
        t.x = 50.0f;
        Lcg lcg{kSeed};
        const double h = t.heading;
        const ExpectedPart first = kind == 0 ? expectPart(lcg, t.x, t.y, 1, 3, h)
                                             : expectPart(lcg, double(t.x) + 20 * std::cos(h), double(t.y) + 20 * std::sin(h), 1, 3, h);
        const tb::Tank before = t;
        if (kind == 0)
            tb::wreckTank(2);
        else
            tb::removeTank(2);
        expectPartIs(tb::world.wreckParts[17], kind == 0 ? 0 : 1, 0.0f, first);
        expectFourExplosions(lcg, before, 0);
        // No draws for the parts that found no slot.
        EXPECT_EQ(tb::world.randomState, lcg.state) << (kind == 0 ? "wreck" : "removal");
    }
}

}  // namespace
