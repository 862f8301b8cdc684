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
#include <utility>

#include "app/session.h"
#include "core/fields.h"
#include "core/world.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "sim/sim.h"

namespace {

using tb::world;

long envLong(const char* name, long fallback) {
    const char* v = std::getenv(name);
    char* end = nullptr;
    const long n = v && *v ? std::strtol(v, &end, 10) : -1;
    return end && *end == 0 && n >= 0 ? n : fallback;
}

// Presses chosen at random per pass. Driving and firing keys are pressed often,
// the modes now and then; tanks are brought in far more readily than taken out,
// so that most of the twelve fight most of the time. Escape comes rarely; the
// soak then clears the quit request and goes on, as a new session would.
class RandomKeyboard : public platform::Keyboard {
public:
    explicit RandomKeyboard(std::uint32_t seed) : rng_(seed) {}

    void beginPass() {
        for (int key : platform::gameKeyCodes())
            pending_[key & 0xFF] = std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < probability(key);
    }
    bool pressedSinceLastQuery(int key) override { return std::exchange(pending_[key & 0xFF], false); }
    bool pending(int key) const { return pending_[key & 0xFF]; }

private:
    static double probability(int key) {
        namespace vk = platform::vk;
        // Digits 1-5 bring in tanks 3, 5, .., 11; digits 6-9 and 0 tanks 2, 4, .., 10.
        const int d = key == '0' ? 10 : key - '0', tank = d <= 5 ? 2 * d + 1 : 2 * (d - 5);
        if (key == vk::Escape) return 1.0 / 40000;
        if (key == 'P' || key == 'O' || key == 'I') return 1.0 / 700;
        if (key >= '0' && key <= '9') return world.tanks[tank].active ? 1.0 / 6000 : 1.0 / 300;
        const bool fire = key == vk::Right || key == vk::Enter || key == vk::Space || key == vk::Ctrl;
        return fire ? 1.0 / 12 : 1.0 / 25;  // else the driving keys of both players
    }

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

// How far a tank's centre may lie beyond the +-700 edge: its boundary box's
// corners reach 46.65 from the centre (a tank with all four out is pushed back),
// plus two crowded updates of contact shoves (2 corners x 2 turns x 3 units x 2).
constexpr double kFieldLimit = 700.0 + 47.0 + 24.0;

// A record that is free before and after a pass must not have been touched,
// except one taken and freed again within the pass (only shells can be: fired
// and hitting point-blank, still at their full life of 280, or 279 after moving),
// and a free shell disowned because its tank was wrecked or removed.
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
        if (std::memcmp(&before[i], &expect, sizeof(Record)) != 0 && !fresh(after[i]))
            return "free record " + std::string(table) + "[" + std::to_string(i) + "] changed; ";
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
// A broken invariant is reported as its table, index and condition.
#define INVARIANT(table, i, ok) \
    if (!(ok)) r += std::string(table) + "[" + std::to_string(i) + "]: not " #ok "; "
    auto within = [](float v, float lo, float hi) { return v >= lo && v <= hi; };
    for (std::size_t i = 0; i < std::size(world.tanks); ++i) {
        const Tank &t = world.tanks[i], &b = before.tanks[i];
        INVARIANT("tanks", i, t.active <= 1 && t.team == int(i % 2) && t.target >= -1 && t.target < kTankCount);
        INVARIANT("tanks", i, std::fabs(double(t.x)) <= kFieldLimit && std::fabs(double(t.y)) <= kFieldLimit);
        INVARIANT("tanks", i, t.z == 1.0f && t.health <= 16.0f && within(t.reload, 0, 40));
        if (t.active) {
            INVARIANT(
                "tanks", i,
                std::fabs(t.speed) <= 1.0f && std::fabs(t.turnRate) <= 0.02f && std::fabs(t.turretRate) <= 0.016f);
        } else if (!b.active) {
            // Out of play: only the keyboard's settings of a player's tank may change,
            // and a reset tank is no longer anyone's target.
            Tank expect;
            std::memcpy(&expect, &b, sizeof(Tank));
            expect.speed = t.speed, expect.turnRate = t.turnRate, expect.turretRate = t.turretRate;
            if (t.target == -1) expect.target = -1;
            INVARIANT("tanks", i, std::memcmp(&expect, &t, sizeof(Tank)) == 0);
        }
    }
    for (std::size_t i = 0; i < std::size(world.shells); ++i) {
        const Shell& s = world.shells[i];
        INVARIANT("shells", i, !s.active || (s.active == 1 && (s.team == 0 || s.team == 1) && within(s.life, 0, 280)));
        INVARIANT("shells", i,
                  !s.active || s.owner == -1 ||
                      (s.owner >= 0 && s.owner < kTankCount && world.tanks[s.owner].team == s.team));
    }
    for (std::size_t i = 0; i < std::size(world.muzzleSmoke); ++i)
        INVARIANT("muzzleSmoke", i, !world.muzzleSmoke[i].active || within(world.muzzleSmoke[i].life, 0, 200));
    for (std::size_t i = 0; i < std::size(world.explosions); ++i) {
        const Explosion& e = world.explosions[i];
        INVARIANT("explosions", i, !e.active || ((e.kind == 0 || e.kind == 1) && within(e.life, 0, 100)));
    }
    for (std::size_t i = 0; i < std::size(world.props); ++i) {
        const Prop& p = world.props[i];
        INVARIANT("props", i, (p.state == 1 || p.state == -1) && std::fabs(p.x) <= 700.0f && std::fabs(p.y) <= 700.0f);
    }
    for (std::size_t i = 0; i < std::size(world.wreckParts); ++i)
        INVARIANT("wreckParts", i, !world.wreckParts[i].active || unsigned(world.wreckParts[i].kind) <= 2);
    for (std::size_t i = 0; i < std::size(world.debris); ++i) {
        const Debris& d = world.debris[i];
        INVARIANT("debris", i, !d.active || (d.kind >= 13 && d.kind <= 15 && (d.spinSense == 0 || d.spinSense == 1)));
    }
    for (std::size_t i = 0; i < std::size(world.heatGrid); ++i) INVARIANT("heatGrid", i, world.heatGrid[i] <= 65);
    INVARIANT("flags", 0,
              world.firstFrame <= 1 && world.autoPilot1 <= 1 && world.autoPilot2 <= 1 && world.coopMode <= 1);
#undef INVARIANT
    return r;
}

struct SoakResult {
    long passes = 0, quits = 0, shellsFired = 0, tankPassesInPlay = 0;
};

SoakResult soak(long passes, std::uint32_t seed, bool pixels) {
    SoakResult result;
    const char* data = std::getenv("TANKBATTLE_DATA");
    platform::setDataDirectory(data && *data ? data : TANKBATTLE_GENERATED_DATA);
    RandomKeyboard keyboard(seed);
    tb::Session session;
    session.playLive(keyboard);
    session.setPixels(pixels);
    session.start();

    static tb::WorldState before;  // large: keep it off the stack
    for (long pass = 0; pass < passes; ++pass) {
        keyboard.beginPass();
        const bool escape = keyboard.pending(platform::vk::Escape);
        std::memcpy(&before, &world, sizeof(tb::WorldState));
        session.step();
        ++result.passes;

        std::string bad = nonFiniteField() + inconsistentRecord(before);
        if (world.quitRequested && !escape) bad += "quit requested without Escape";
        if (!bad.empty()) {
            ADD_FAILURE() << "pass " << pass << ": " << bad;
            break;
        }
        result.quits += std::exchange(world.quitRequested, 0);  // a new game goes on with the same world
        for (int i = 0; i < tb::kTankCount; ++i) result.tankPassesInPlay += world.tanks[i].active;
        for (int i = 0; i < tb::kShellCount; ++i)
            result.shellsFired += !before.shells[i].active && world.shells[i].active;
    }
    std::cout << "soak: " << result.quits << " quits, "
              << double(result.tankPassesInPlay) / double(std::max(1L, passes)) << " tanks in play on average, "
              << result.shellsFired << " shells fired\n";
    return result;
}

TEST(Soak, RandomKeysKeepTheWorldConsistent) {
    const long passes = envLong("TANKBATTLE_SOAK_PASSES", 10000);
    SoakResult r = soak(passes, std::uint32_t(envLong("TANKBATTLE_SOAK_SEED", 1)), false);
    EXPECT_EQ(r.passes, passes);
    // The battle must have been busy: otherwise the invariants were checked on an idle world.
    if (passes >= 10000) {
        EXPECT_GE(double(r.tankPassesInPlay) / double(r.passes), 6.0);
        EXPECT_GT(r.shellsFired, passes / 100);
    }
}

TEST(Soak, RandomKeysWithPixels) {
    const long passes = envLong("TANKBATTLE_SOAK_PIXEL_PASSES", 150);
    EXPECT_EQ(soak(passes, std::uint32_t(envLong("TANKBATTLE_SOAK_SEED", 1)) + 1, true).passes, passes);
}

}  // namespace
