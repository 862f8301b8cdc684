// Long battles under random key presses, with the world's invariants checked
// after every pass: finite floats, tanks near the field, heat in range,
// records consistent and free records left untouched.
//
// TANKBATTLE_SOAK_PASSES sets the length (default 10000; CI runs 100000, the
// release soak 1000000, see scripts/soak.sh), TANKBATTLE_SOAK_SEED the key sequence,
// TANKBATTLE_DATA the data directory (default: the data this build generated),
// TANKBATTLE_SOAK_PIXEL_PASSES the length of the soak that also draws.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>

#include "core/fields.h"
#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "sim/sim.h"

namespace {

using tb::world;

long envLong(const char* name, long fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    long n = std::strtol(v, &end, 10);
    return (end && *end == 0 && n >= 0) ? n : fallback;
}

// The game's data files: $TANKBATTLE_DATA, else the ones this build generated.
std::string soakDataDirectory() {
    const char* env = std::getenv("TANKBATTLE_DATA");
    return env && *env ? env : TANKBATTLE_GENERATED_DATA;
}

// Presses chosen at random per pass. Driving and firing keys are pressed often,
// the modes now and then; tanks are brought in far more readily than taken out,
// so that most of the twelve fight most of the time. Escape comes rarely; the
// soak then clears the quit request and goes on, as a new session would.
class RandomKeyboard : public platform::Keyboard {
public:
    explicit RandomKeyboard(std::uint32_t seed) : rng_(seed) {}

    void beginPass() {
        pending_.fill(false);
        for (int key : platform::gameKeyCodes()) {
            if (chance(probability(key))) pending_[key & 0xFF] = true;
        }
    }
    bool pressedSinceLastQuery(int key) override {
        bool p = pending_[key & 0xFF];
        pending_[key & 0xFF] = false;
        return p;
    }
    bool pending(int key) const { return pending_[key & 0xFF]; }

private:
    // Digits 1-5 bring in tanks 3, 5, .., 11; digits 6-9 and 0 tanks 2, 4, .., 10.
    static int toggledTank(int key) {
        if (key < '0' || key > '9') return -1;
        const int d = key == '0' ? 10 : key - '0';
        return d <= 5 ? 2 * d + 1 : 2 * (d - 5);
    }
    static double probability(int key) {
        namespace vk = platform::vk;
        if (key == vk::Escape) return 1.0 / 40000;
        if (key == 'P' || key == 'O' || key == 'I') return 1.0 / 700;
        if (int tank = toggledTank(key); tank >= 0) return world.tanks[tank].active ? 1.0 / 6000 : 1.0 / 300;
        if (key == vk::Right || key == vk::Enter || key == vk::Space || key == vk::Ctrl) return 1.0 / 12;
        return 1.0 / 25;  // the driving keys of both players
    }
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p; }

    std::mt19937 rng_;
    std::array<bool, 256> pending_{};
};

// The world's float fields, scalars and records alike: a description of each non-finite one.
std::string nonFiniteField() {
    std::ostringstream s;
    auto isBad = [](const auto& v) {  // names are made only for a bad value: this runs every pass
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, float>) return !std::isfinite(v);
        return false;
    };
    tb::forEachField(tb::world, [&](const char* name, const auto& v) {
        using T = std::remove_cvref_t<decltype(v)>;
        if (isBad(v)) s << name << " = " << v << "; ";
        if constexpr (std::is_array_v<T> && std::is_class_v<std::remove_extent_t<T>>)
            for (std::size_t i = 0; i < std::size(v); ++i)
                tb::forEachField(v[i], [&](const char* field, const auto& x) {
                    if (isBad(x)) s << name << "[" << i << "]." << field << " = " << x << "; ";
                });
    });
    return s.str();
}

// How far a tank's centre may lie beyond the +-700 edge. The boundary box's
// corners lie sqrt(24^2 + 40^2) = 46.65 from the centre, so a tank whose centre
// is more than 47 past the edge has all four corners out and is pushed back
// 4 units per update. Tank contact can shove it further out for a moment:
// 3 units per touching corner, resolved in both tanks' turns. Allow two
// crowded updates' worth of such shoves (2 corners x 2 turns x 3 units x 2)
// beyond the corner reach.
constexpr double kBoundaryReach = 47.0;
constexpr double kContactAllowance = 24.0;
constexpr double kFieldLimit = 700.0 + kBoundaryReach + kContactAllowance;

// A record that is free before and after a pass must not have been touched,
// except one taken and freed again within the pass (only shells can be: fired
// and hitting point-blank, still at their full life of 280, or 279 after moving),
// and a free shell disowned because its tank was wrecked or removed. For messages,
// the fields every entity record has.
template <typename Record>
std::string describe(const Record& r) {
    std::ostringstream s;
    s << " x " << r.x << " y " << r.y << " z " << r.z;
    if constexpr (requires { r.life; }) s << " life " << r.life;
    return s.str();
}

template <typename Record, std::size_t N, typename FreshCheck>
std::string untouchedFreeRecords(const char* table, const Record (&before)[N], const Record (&after)[N],
                                 FreshCheck fresh) {
    for (std::size_t i = 0; i < N; ++i) {
        if (before[i].active || after[i].active) continue;
        Record expect;  // byte copies, so that padding compares equal too
        std::memcpy(&expect, &after[i], sizeof(Record));
        // A wrecked or removed tank disowns every shell, free ones included.
        if constexpr (requires { expect.owner; })
            if (expect.owner == -1) expect.owner = before[i].owner;
        if (std::memcmp(&before[i], &expect, sizeof(Record)) != 0 && !fresh(after[i])) {
            std::ostringstream s;
            s << "free record " << table << "[" << i << "] changed:" << describe(before[i]) << " ->"
              << describe(after[i]) << "; ";
            return s.str();
        }
    }
    return {};
}

std::string inconsistentRecord(const tb::WorldState& before) {
    using namespace tb;
    auto never = [](const auto&) { return false; };
    std::string r =
        untouchedFreeRecords("shells", before.shells, world.shells, [](const Shell& s) { return s.life >= 279.0f; }) +
        untouchedFreeRecords("muzzleSmoke", before.muzzleSmoke, world.muzzleSmoke, never) +
        untouchedFreeRecords("explosions", before.explosions, world.explosions, never) +
        untouchedFreeRecords("wreckParts", before.wreckParts, world.wreckParts, never) +
        untouchedFreeRecords("debris", before.debris, world.debris, never);
    auto check = [&r](bool ok, const char* table, std::size_t i, const char* what) {
        if (!ok) r += std::string(table) + "[" + std::to_string(i) + "]: " + what + "; ";
    };
    auto within = [](float v, float lo, float hi) { return v >= lo && v <= hi; };
    for (std::size_t i = 0; i < std::size(world.tanks); ++i) {
        const Tank& t = world.tanks[i];
        const Tank& b = before.tanks[i];
        check(t.active <= 1, "tanks", i, "active is neither 0 nor 1");
        check(t.team == int(i % 2), "tanks", i, "team is not index mod 2");
        check(t.target >= -1 && t.target < kTankCount, "tanks", i, "target out of range");
        check(std::fabs(double(t.x)) <= kFieldLimit && std::fabs(double(t.y)) <= kFieldLimit, "tanks", i,
              "outside the battlefield by more than the boundary margin");
        check(t.z == 1.0f, "tanks", i, "z is not 1");
        check(t.health <= 16.0f, "tanks", i, "health above 16");
        check(within(t.reload, 0, 40), "tanks", i, "reload outside 0..40");
        if (t.active) {
            check(std::fabs(t.speed) <= 1.0f, "tanks", i, "speed beyond its limit");
            check(std::fabs(t.turnRate) <= 0.02f, "tanks", i, "turnRate beyond its limit");
            check(std::fabs(t.turretRate) <= 0.016f, "tanks", i, "turretRate beyond its limit");
        } else if (!b.active) {
            // Out of play: only the keyboard's settings of a player's tank may change.
            Tank expect;
            std::memcpy(&expect, &b, sizeof(Tank));
            expect.speed = t.speed;
            expect.turnRate = t.turnRate;
            expect.turretRate = t.turretRate;
            if (t.target == -1) expect.target = -1;  // a reset tank is no longer anyone's target
            check(std::memcmp(&expect, &t, sizeof(Tank)) == 0, "tanks", i, "changed while out of play");
        }
    }
    for (std::size_t i = 0; i < std::size(world.shells); ++i) {
        const Shell& s = world.shells[i];
        if (!s.active) continue;
        check(s.active == 1, "shells", i, "active is neither 0 nor 1");
        check(s.team == 0 || s.team == 1, "shells", i, "team neither 0 nor 1");
        check(s.owner >= -1 && s.owner < kTankCount, "shells", i, "owner out of range");
        check(s.owner < 0 || s.owner >= kTankCount || world.tanks[s.owner].team == s.team, "shells", i,
              "owner of another team");
        check(within(s.life, 0, 280), "shells", i, "life outside 0..280");
    }
    for (std::size_t i = 0; i < std::size(world.muzzleSmoke); ++i)
        check(!world.muzzleSmoke[i].active || within(world.muzzleSmoke[i].life, 0, 200), "muzzleSmoke", i,
              "life outside 0..200");
    for (std::size_t i = 0; i < std::size(world.explosions); ++i) {
        const Explosion& e = world.explosions[i];
        check(!e.active || e.kind == 0 || e.kind == 1, "explosions", i, "kind neither 0 nor 1");
        check(!e.active || within(e.life, 0, 100), "explosions", i, "life outside 0..100");
    }
    for (std::size_t i = 0; i < std::size(world.props); ++i) {
        const Prop& p = world.props[i];
        check(p.state == 1 || p.state == -1, "props", i, "state neither 1 nor -1");
        check(std::fabs(p.x) <= 700.0f && std::fabs(p.y) <= 700.0f, "props", i, "outside the battlefield");
    }
    for (std::size_t i = 0; i < std::size(world.wreckParts); ++i)
        check(!world.wreckParts[i].active || (world.wreckParts[i].kind >= 0 && world.wreckParts[i].kind <= 2),
              "wreckParts", i, "kind outside 0..2");
    for (std::size_t i = 0; i < std::size(world.debris); ++i) {
        const Debris& d = world.debris[i];
        check(!d.active || (d.kind >= 13 && d.kind <= 15), "debris", i, "kind outside 13..15");
        check(!d.active || d.spinSense == 0 || d.spinSense == 1, "debris", i, "spinSense neither 0 nor 1");
    }
    for (std::size_t i = 0; i < std::size(world.heatGrid); ++i)
        check(world.heatGrid[i] <= 65, "heatGrid", i, "heat above 65");
    const std::uint8_t flags[] = {world.firstFrame, world.autoPilot1, world.autoPilot2, world.coopMode};
    for (std::size_t i = 0; i < std::size(flags); ++i) check(flags[i] <= 1, "control flag", i, "neither 0 nor 1");
    return r;
}

struct SoakResult {
    long passes = 0, quits = 0, shellsFired = 0;
    double tankPassesInPlay = 0;
};

SoakResult soak(long passes, std::uint32_t seed, bool pixels) {
    SoakResult result;
    const std::string dir = soakDataDirectory();
    std::cout << "soak: " << passes << " passes, seed " << seed << ", pixels " << (pixels ? "on" : "off") << ", data "
              << dir << "\n";
    platform::setDataDirectory(dir);
    RandomKeyboard keyboard(seed);
    platform::setKeyboard(&keyboard);
    softglide::setRasterEnabled(pixels);
    world = tb::WorldState{};
    tb::initGame();

    static tb::WorldState before;  // large: keep it off the stack
    for (long pass = 0; pass < passes; ++pass) {
        keyboard.beginPass();
        const bool escape = keyboard.pending(platform::vk::Escape);
        std::memcpy(&before, &world, sizeof(tb::WorldState));
        tb::runPass();
        ++result.passes;

        std::string bad = nonFiniteField() + inconsistentRecord(before);
        if (world.quitRequested && !escape) bad += "quit requested without Escape";
        if (!bad.empty()) {
            ADD_FAILURE() << "pass " << pass << ": " << bad;
            break;
        }
        if (world.quitRequested) {  // a new session goes on with the same world
            world.quitRequested = 0;
            ++result.quits;
        }
        for (int i = 0; i < tb::kTankCount; ++i) result.tankPassesInPlay += world.tanks[i].active;
        for (int i = 0; i < tb::kShellCount; ++i)
            result.shellsFired += !before.shells[i].active && world.shells[i].active;
    }
    platform::setKeyboard(nullptr);
    softglide::setRasterEnabled(true);
    std::cout << "soak: " << result.passes << " passes, " << result.quits << " quits, "
              << result.tankPassesInPlay / double(std::max(1L, result.passes)) << " tanks in play on average, "
              << result.shellsFired << " shells fired\n";
    return result;
}

TEST(Soak, RandomKeysKeepTheWorldConsistent) {
    const long passes = envLong("TANKBATTLE_SOAK_PASSES", 10000);
    SoakResult r = soak(passes, std::uint32_t(envLong("TANKBATTLE_SOAK_SEED", 1)), false);
    EXPECT_EQ(r.passes, passes);
    // The battle must have been busy: otherwise the invariants were checked on an idle world.
    if (passes >= 10000) {
        EXPECT_GE(r.tankPassesInPlay / double(r.passes), 6.0);
        EXPECT_GT(r.shellsFired, passes / 100);
    }
}

TEST(Soak, RandomKeysWithPixels) {
    const long passes = envLong("TANKBATTLE_SOAK_PIXEL_PASSES", 150);
    EXPECT_EQ(soak(passes, std::uint32_t(envLong("TANKBATTLE_SOAK_SEED", 1)) + 1, true).passes, passes);
}

}  // namespace
