// The headless contract: replay files (their errors, and one press per listed
// key and pass), the state dump's numbers, and whole runs of the built game
// that must repeat byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "app/dump.h"
#include "core/fields.h"
#include "core/world.h"
#include "platform/replay.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using tbtest::lines;

// ---- replay parsing ----

struct BadReplay {
    const char* text;
    int line;
    const char* what;
};

TEST(HeadlessReplay, BadInputNamesTheLine) {
    const BadReplay cases[] = {
        {"", 1, "header"},
        {"# only a comment\n\n", 1, "header"},
        {"0 P\n", 1, "header"},
        {"# c\n\ntankbattle-replay 2\n", 3, "header"},
        {"tankbattle-replay 1 extra\n", 1, "header"},
        {"tankbattle-replay 1\n0 P\n1 Shift\n", 3, "key"},
        {"tankbattle-replay 1\n0 p\n", 2, "key"},
        {"tankbattle-replay 1\n\n# note\nx1 P\n", 4, "pass"},
        {"tankbattle-replay 1\n-1 P\n", 2, "pass"},
        {"tankbattle-replay 1\n1.5 P\n", 2, "pass"},
        {"tankbattle-replay 1\n+3 P\n", 2, "pass"},
        {"tankbattle-replay 1\n7\n", 2, "no key"},
        {"tankbattle-replay 1\n5 P\n5 O\n4 I\n", 4, "decreasing"},
    };
    for (const BadReplay& c : cases) {
        platform::Replay replay;
        std::string error;
        EXPECT_FALSE(platform::parseReplay(c.text, replay, error)) << c.what << ": " << c.text;
        EXPECT_EQ(error.rfind(std::to_string(c.line) + ":", 0), 0u) << c.what << ": " << error;
    }
}

TEST(HeadlessReplay, CommentsBlankLinesAndRepeatedPassesAreAccepted) {
    platform::Replay replay;
    std::string error;
    ASSERT_TRUE(
        platform::parseReplay("# recorded by hand\n\n  tankbattle-replay 1   # version\r\n"
                              "0 Escape\n3 P O # two keys\n3 P KP5\n\n10 Right Right\r\n",
                              replay, error))
        << error;
    std::vector<std::pair<std::int64_t, std::vector<int>>> passes;
    for (const platform::ReplayPass& p : replay.passes) passes.emplace_back(p.pass, p.keys);
    EXPECT_EQ(passes, (decltype(passes){{0, {0x1B}}, {3, {'P', 'O', 0x65}}, {10, {0x27}}}));
}

TEST(HeadlessReplay, EveryKeyNameHasItsVirtualKeyCode) {
    // Names and codes both unique, each name read back to its code and the code to its name.
    std::set<std::string> names;
    std::set<int> codes;
    for (const platform::GameKey& key : platform::kGameKeys) {
        names.insert(key.name), codes.insert(key.code);
        EXPECT_EQ(platform::replayKeyCode(key.name), key.code) << key.name;
        EXPECT_STREQ(platform::replayKeyName(key.code), key.name);
    }
    EXPECT_EQ(names.size(), 30u);
    EXPECT_EQ(codes.size(), 30u);
    // The Windows virtual-key codes of the keys that are neither a letter nor a digit.
    const std::pair<const char*, int> special[] = {{"Escape", 0x1B}, {"KP1", 0x61},   {"KP2", 0x62}, {"KP3", 0x63},
                                                   {"KP4", 0x64},    {"KP5", 0x65},   {"KP6", 0x66}, {"Right", 0x27},
                                                   {"Enter", 0x0D},  {"Space", 0x20}, {"Ctrl", 0x11}};
    for (auto [name, code] : special) EXPECT_EQ(platform::replayKeyCode(name), code) << name;
    EXPECT_EQ(platform::replayKeyCode("KP0"), -1);
}

TEST(HeadlessReplay, AListedKeyAnswersOnlyTheFirstQueryOfItsPass) {
    platform::Replay replay;
    std::string error;
    ASSERT_TRUE(platform::parseReplay("tankbattle-replay 1\n2 W W A\n4 W\n", replay, error)) << error;
    platform::ReplayKeyboard keyboard(replay);
    const struct {
        std::int64_t pass;
        std::vector<int> queries;
        std::vector<bool> answers;
    } passes[] = {{0, {'W', 'W'}, {false, false}},
                  {1, {'W'}, {false}},
                  {2, {'A', 'W', 'W', 'A', 'D'}, {true, true, false, false, false}},
                  {3, {'W'}, {false}},
                  {4, {'D', 'W', 'W'}, {false, true, false}},
                  {5, {'W'}, {false}}};
    for (const auto& p : passes) {
        keyboard.beginPass(p.pass);
        for (std::size_t i = 0; i < p.queries.size(); ++i)
            EXPECT_EQ(keyboard.pressedSinceLastQuery(p.queries[i]), p.answers[i])
                << "pass " << p.pass << " query " << i;
    }
}

TEST(HeadlessReplay, LoadErrorsNameTheFileAndTheLine) {
    const tbtest::ScratchDir dir("core_replay");
    const fs::path file = dir / "bad.txt";
    dir.write("bad.txt", "tankbattle-replay 1\n0 P\n0 Tab\n");
    platform::Replay replay;
    std::string error;
    EXPECT_FALSE(platform::loadReplay(file.string(), replay, error));
    EXPECT_NE(error.find(file.string() + ":3:"), std::string::npos) << error;
    fs::remove(file);
    EXPECT_FALSE(platform::loadReplay(file.string(), replay, error));
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
}

// ---- the state dump ----

// The text of the first member `name` found after `from` in a dump line.
std::string member(const std::string& dump, const std::string& name, std::size_t from = 0) {
    const std::string key = "\"" + name + "\":";
    const std::size_t at = dump.find(key, from);
    if (at == std::string::npos) return "<missing>";
    const std::size_t start = at + key.size();
    const std::size_t end = dump.find_first_of(",}]", start);
    return dump.substr(start, end - start);
}

std::uint32_t bitsOf(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST(HeadlessDump, FloatsReadBackToTheSameBitsAndNonFiniteOnesAreStrings) {
    // clang-format off
    const float values[] = {0.1f,        1.0f / 3.0f, -0.0f,       0.0f,     FLT_MIN, std::numeric_limits<float>::denorm_min(),
                            FLT_MAX,     -FLT_MAX,    16777217.0f, 1.0e-7f,  std::nextafter(1.0f, 2.0f),
                            std::nextafter(700.0f, 0.0f), -180000.0f, 3.14159274f};
    // clang-format on
    for (float v : values) {
        tb::world = tb::WorldState{};
        tb::world.tanks[0].x = v;
        tb::world.debris[239].climb = v;
        const std::string dump = tb::formatStateDump(0);
        for (const std::string& text :
             {member(dump, "x", dump.find("\"tanks\"")), member(dump, "climb", dump.rfind("{"))}) {
            const float back = std::strtof(text.c_str(), nullptr);
            EXPECT_EQ(bitsOf(back), bitsOf(v)) << text;
        }
    }
    // Non-finite values are strings.
    tb::world = tb::WorldState{};
    tb::world.cameraX = std::numeric_limits<float>::quiet_NaN();
    tb::world.cameraY = std::numeric_limits<float>::infinity();
    tb::world.cameraZ = -std::numeric_limits<float>::infinity();
    tb::world.teamBalance = -std::numeric_limits<float>::quiet_NaN();
    const std::string dump = tb::formatStateDump(3);
    EXPECT_EQ(member(dump, "cameraX"), "\"nan\"");
    EXPECT_EQ(member(dump, "cameraY"), "\"inf\"");
    EXPECT_EQ(member(dump, "cameraZ"), "\"-inf\"");
    EXPECT_EQ(member(dump, "teamBalance"), "\"nan\"");
}

TEST(HeadlessDump, MembersComeInTheContractsOrderWithEveryRecord) {
    tb::world = tb::WorldState{};
    tb::world.randomState = 0xFFFFFFFFu;
    tb::world.frameCounter = -7;
    tb::world.heatGrid[255] = 65;
    tb::world.tanks[11].target = -1;
    const std::string dump = tb::formatStateDump(123456789012LL);
    ASSERT_EQ(dump.find('\n'), std::string::npos);
    EXPECT_EQ(dump.front(), '{');
    EXPECT_EQ(dump.back(), '}');
    EXPECT_EQ(member(dump, "pass"), "123456789012");
    EXPECT_EQ(member(dump, "rng"), "4294967295");
    EXPECT_EQ(member(dump, "frameCounter"), "-7");
    // Every member in the fields' order; a table's records counted by their first field up to the next member.
    struct Member {
        std::string name, field = {};
        int records = 0;
    };
    std::vector<Member> members = {{"pass"}};
    tb::forEachField(tb::world, [&](const char* name, const auto& v) {
        using T = std::remove_cvref_t<decltype(v)>;
        Member m{name};
        if constexpr (std::is_array_v<T> && std::is_class_v<std::remove_extent_t<T>>) {
            m.records = int(std::extent_v<T>);
            tb::forEachField(v[0], [&](const char* field, const auto&) {
                if (m.field.empty()) m.field = field;
            });
        }
        members.push_back(m);
    });
    auto at = [&](const std::string& name, std::size_t from = 0) { return dump.find("\"" + name + "\":", from); };
    ASSERT_EQ(members.size(), 23u);
    std::size_t last = 0;
    for (std::size_t m = 0; m < members.size(); ++m) {
        const std::size_t from = at(members[m].name);
        ASSERT_NE(from, std::string::npos) << members[m].name;
        EXPECT_GT(from + 1, last) << members[m].name;
        last = from + 1;
        if (members[m].field.empty()) continue;
        const std::size_t to = m + 1 < members.size() ? at(members[m + 1].name) : dump.size();
        int n = 0;
        for (std::size_t f = at(members[m].field, from); f < to; f = at(members[m].field, f + 1)) ++n;
        EXPECT_EQ(n, members[m].records) << members[m].name;
    }
    const std::size_t heat = at("heatGrid");
    const std::string grid = dump.substr(heat, dump.find(']', heat) - heat);
    EXPECT_EQ(std::count(grid.begin(), grid.end(), ','), 255);
    EXPECT_NE(grid.find(",65"), std::string::npos);
    std::size_t field = at("tanks");  // a tank's members, in order, within the first record
    tb::forEachField(tb::world.tanks[0], [&](const char* f, const auto&) {
        field = at(f, field);
        EXPECT_LT(field, dump.find('}', at("tanks"))) << f;
    });
}

// ---- whole runs of the game ----

class HeadlessRun : public ::testing::Test {
protected:
    tbtest::ScratchDir dir{"core_headless"};

    // A small model: two drawn triangles in each of the 16 drawn meshes (so the
    // team markers draw random numbers), bitmaps of a few bytes, any sounds.
    void SetUp() override {
        std::vector<tb::ModelTriangle> model(420);
        for (int m = 0; m < 16; ++m) {
            for (int k = 0; k < 2; ++k) {
                tb::ModelTriangle& t = model[m * 21 + k * 5];
                t.present = 1;
                t.x[0] = -8, t.x[1] = 8, t.x[2] = 0;
                t.y[0] = -8, t.y[1] = -8, t.y[2] = 9;
                t.z[0] = t.z[1] = t.z[2] = float(2 + k);
                t.red[0] = 40, t.green[0] = 20, t.blue[0] = 10, t.alpha[0] = 0;
                t.s[1] = 64, t.t[2] = 64;
                t.texture = (m + k) % 7;
            }
        }
        dir.write("Tank.ddo",
                  std::string(reinterpret_cast<const char*>(model.data()), model.size() * sizeof(tb::ModelTriangle)));
        dir.write("tex.bmp", std::string(1078, '\0') + "\x01\x02\x03\x04\x05");
        dir.write("tex2.bmp", std::string(1078, '\0') + "\x10\x20\x30\x40\x50");
        dir.write("expl.wav", "RIFF");
        dir.write("bumm.wav", "RIFF");
    }

    struct Result {
        int status;
        std::string dump, errors;
    };
    Result run(const std::string& arguments, const std::string& dumpName) const {
        const fs::path dump = dir / dumpName, err = dir / (dumpName + ".err");
        const int status =
            tbtest::run(std::string("'") + TANKBATTLE_EXECUTABLE + "' --headless --data '" + dir.path().string() +
                        "' --dump-state '" + dump.string() + "' " + arguments + " 2>'" + err.string() + "'");
        return {status, tbtest::readText(dump), tbtest::readText(err)};
    }
};

TEST_F(HeadlessRun, BadReplaysStopBeforeAnyPassWithStatusTwo) {
    const struct {
        const char* text;
        const char* where;
    } cases[] = {{"tankbattle-replay 1\n\n4 W\n2 A\n", ":4:"},
                 {"tankbattle-replay 1\n0 Alt\n", ":2:"},
                 {"# no header\n0 W\n", ":2:"},
                 {"tankbattle-replay 1\nW 0\n", ":2:"}};
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "bad" + std::to_string(n++) + ".replay";
        dir.write(name, c.text);
        const Result r = run("--frames 5 --replay '" + (dir / name).string() + "'", name + ".jsonl");
        EXPECT_EQ(r.status, 2) << c.text;
        EXPECT_NE(r.errors.find(name + c.where), std::string::npos) << r.errors;
        EXPECT_FALSE(fs::exists(dir / (name + ".jsonl"))) << "a pass ran for " << c.text;
    }
}

TEST_F(HeadlessRun, EscapeInTheFirstPassEndsTheRunAfterThatPass) {
    dir.write("escape.replay", "tankbattle-replay 1\n0 Escape P\n");
    const Result r = run("--frames 50 --replay '" + (dir / "escape.replay").string() + "'", "escape.jsonl");
    ASSERT_EQ(r.status, 0) << r.errors;
    const std::vector<std::string> l = lines(r.dump);
    ASSERT_EQ(l.size(), 1u);
    std::vector<std::string> values;  // P did not act in the first pass
    for (const char* name : {"pass", "quitRequested", "firstFrame", "autoPilot1", "frameCounter"})
        values.push_back(member(l[0], name));
    EXPECT_EQ(values, (std::vector<std::string>{"1", "1", "0", "0", "1"}));
}

TEST_F(HeadlessRun, DumpsAfterEveryKthPassAndOnceAfterTheLast) {
    for (const auto& [frames, every, expected] : std::vector<std::tuple<int, int, std::vector<std::string>>>{
             {10, 5, {"5", "10"}}, {11, 5, {"5", "10", "11"}}, {3, 0, {"3"}}, {0, 0, {"0"}}}) {
        const std::string args =
            "--frames " + std::to_string(frames) + (every ? " --dump-every " + std::to_string(every) : "");
        const Result r = run(args, "every.jsonl");
        ASSERT_EQ(r.status, 0) << r.errors;
        const std::vector<std::string> l = lines(r.dump);
        std::vector<std::string> passes;
        for (const std::string& line : l) passes.push_back(member(line, "pass"));
        EXPECT_EQ(passes, expected) << args;
    }
}

TEST_F(HeadlessRun, TheSameReplayGivesTheSameDumpsWithAndWithoutPixels) {
    // Computer tanks join, both players drive and fire, hand over to the computer and take back.
    dir.write("battle.replay",
              "tankbattle-replay 1\n"
              "1 1 2 3 4 5 7 8 9 0\n"
              "2 KP5 W Right Space\n"
              "3 KP6 Q\n"
              "40 P O\n"
              "150 I\n"
              "160 A Space\n"
              "200 6 3\n"
              "250 3 KP2 Enter\n"
              "280 O Ctrl\n");
    const std::string args = "--frames 300 --dump-every 50 --replay '" + (dir / "battle.replay").string() + "'";
    const Result first = run(args, "first.jsonl");
    const Result second = run(args + " --no-pixels", "second.jsonl");
    const Result fast = run(args + " --no-pixels", "fast.jsonl");
    ASSERT_EQ(first.status, 0) << first.errors;
    ASSERT_EQ(lines(first.dump).size(), 6u);
    EXPECT_EQ(first.dump, second.dump);
    EXPECT_EQ(first.dump, fast.dump);
    // The run did something: shells flew and the random state moved on.
    const std::vector<std::string> l = lines(first.dump);
    EXPECT_NE(member(l[0], "rng"), member(l[5], "rng"));
    const std::size_t shells = l[2].find("\"shells\":");
    const std::size_t smoke = l[2].find("\"muzzleSmoke\":");
    EXPECT_NE(l[2].substr(shells, smoke - shells).find("{\"active\":1,"), std::string::npos);
}

TEST(CommandLine, BadOptionsAreRefusedWithStatusTwoAndTheReason) {
    const tbtest::ScratchDir dir("options");
    const std::pair<const char*, const char*> cases[] = {
        {"--headless --record x.replay --frames 1", "does not go with --headless"},
        {"--record x.replay --frames 1 --headless", "does not go with --headless"},
        {"--bogus", "unknown option \"--bogus\""},
        {"--headless -x", "unknown option \"-x\""},
        {"--frames", "--frames needs a value"},
        {"--frames -1", "at least 0, not \"-1\""},
        {"--frames 12x", "not \"12x\""},
        {"--frames 99999999999999999999", "whole number"},
        {"--dump-every=0", "--dump-every needs a whole number of at least 1"},
        {"--window=yes", "--window takes no value"},
        {"--data=", "--data needs a non-empty value"},
    };
    for (const auto& [arguments, reason] : cases) {
        const fs::path err = dir / "err.txt";
        EXPECT_EQ(
            tbtest::run(std::string("'") + TANKBATTLE_EXECUTABLE + "' " + arguments + " 2>'" + err.string() + "'"), 2)
            << arguments;
        const std::string message = tbtest::readText(err);
        EXPECT_NE(message.find(reason), std::string::npos) << arguments << ": " << message;
        EXPECT_NE(message.find("tankbattle --help"), std::string::npos) << arguments << ": " << message;
    }
}

}  // namespace
