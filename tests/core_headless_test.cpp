// The headless contract: replay files (their errors, and one press per listed
// key and pass), the state dump's numbers, runs of the built game (bad replays,
// Escape, when dumps are written) and its command-line errors.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/dump.h"
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

TEST(HeadlessDump, OneLineWithWholeNumbersInFull) {
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
    // The members' order and every record are held by the regression run's digests.
}

// ---- whole runs of the game ----

class HeadlessRun : public ::testing::Test {
protected:
    tbtest::ScratchDir dir{"core_headless"};

    struct Result {
        int status;
        std::string dump, errors;
    };
    Result run(const std::string& arguments, const std::string& dumpName) const {
        const fs::path dump = dir / dumpName, err = dir / (dumpName + ".err");
        const int status =
            tbtest::run(std::string("'") + TANKBATTLE_EXECUTABLE + "' --headless --data '" + TANKBATTLE_GENERATED_DATA +
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

TEST(CommandLine, BadOptionsAreRefusedWithStatusTwoAndTheReason) {
    const tbtest::ScratchDir dir("options");
    const std::pair<const char*, const char*> cases[] = {
        {"--bogus", "unknown option \"--bogus\""},
        {"--headless -x", "unknown option \"-x\""},
        {"--frames", "--frames needs a value"},
        {"--frames -1", "at least 0, not \"-1\""},
        {"--frames 12x", "not \"12x\""},
        {"--frames 99999999999999999999", "whole number"},
        {"--dump-every=0", "--dump-every needs a whole number of at least 1"},
        {"--window=yes", "--window takes no value"},
        {"--data=", "--data needs a non-empty value"},
        {"--scale 5", "--scale needs a whole number from 1 to 4"},
        {"--scale 0", "--scale needs a whole number from 1 to 4"},
        {"--threads 65", "--threads needs a whole number from 1 to 64"},
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
