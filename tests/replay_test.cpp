// Replays and the headless run: replay files (their errors, one press per listed
// key and pass), a recorded session replaying to the same world, the state
// dump's numbers, runs of the built game (bad replays, Escape, when dumps are
// written) and its command-line errors.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <tuple>

#include "app/dump.h"
#include "app/session.h"
#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using tbtest::lines;
namespace vk = platform::vk;

// ---- replay parsing ----

TEST(HeadlessReplay, BadInputNamesTheLine) {
    // Bad or missing headers, unknown keys, bad pass numbers, no key, decreasing passes.
    // clang-format off
    const struct { const char* text; int line; } cases[] = {
        {"", 1}, {"# only a comment\n\n", 1}, {"0 P\n", 1}, {"# c\n\ntankbattle-replay 2\n", 3},
        {"tankbattle-replay 1 extra\n", 1}, {"tankbattle-replay 1\n0 P\n1 Shift\n", 3}, {"tankbattle-replay 1\n0 p\n", 2},
        {"tankbattle-replay 1\n\n# note\nx1 P\n", 4}, {"tankbattle-replay 1\n-1 P\n", 2},
        {"tankbattle-replay 1\n1.5 P\n", 2}, {"tankbattle-replay 1\n+3 P\n", 2}, {"tankbattle-replay 1\n7\n", 2},
        {"tankbattle-replay 1\n5 P\n5 O\n4 I\n", 4}};
    // clang-format on
    for (const auto& c : cases) {
        platform::Replay replay;
        std::string error;
        EXPECT_FALSE(platform::parseReplay(c.text, replay, error)) << c.text;
        EXPECT_EQ(error.rfind(std::to_string(c.line) + ":", 0), 0u) << error;
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

TEST(HeadlessReplay, ALastLineCutShortIsLeftOutWithAWarning) {
    // What a recording killed in the middle of writing a line leaves; a bad line
    // before the last, or a last line that reads, is not that.
    // clang-format off
    const struct { const char* text; bool ok; std::vector<std::int64_t> passes; const char* warning; } cases[] = {
        {"tankbattle-replay 1\n3 P\n5 Rig", true, {3}, "3: the last line is cut short"},
        {"tankbattle-replay 1\n3 P\n52", true, {3}, "3: the last line is cut short"},
        {"tankbattle-replay 1\n3 P\n5 Right", true, {3, 5}, ""},
        {"tankbattle-replay 1\n3 P\n5 Rig\n", false, {}, ""},
        {"tankbattle-replay 1\n3 Pe\n5 Right", false, {}, ""},
        {"tankbattle-repl", false, {}, ""}};
    // clang-format on
    for (const auto& c : cases) {
        platform::Replay replay;
        std::string error, warning;
        EXPECT_EQ(platform::parseReplay(c.text, replay, error, &warning), c.ok) << c.text << ": " << error;
        if (!c.ok) continue;
        std::vector<std::int64_t> passes;
        for (const platform::ReplayPass& p : replay.passes) passes.push_back(p.pass);
        EXPECT_EQ(passes, c.passes) << c.text;
        EXPECT_EQ(warning.substr(0, std::strlen(c.warning)), c.warning) << c.text;
    }
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
    EXPECT_EQ(std::pair(names.size(), codes.size()), std::pair(30ul, 30ul));
    // The Windows virtual-key codes of the keys that are neither a letter nor a digit.
    const std::pair<const char*, int> special[] = {{"Escape", 0x1B}, {"KP1", 0x61},   {"KP6", 0x66},  {"Right", 0x27},
                                                   {"Enter", 0x0D},  {"Space", 0x20}, {"Ctrl", 0x11}, {"KP0", -1}};
    for (auto [name, code] : special) EXPECT_EQ(platform::replayKeyCode(name), code) << name;
}

TEST(HeadlessReplay, AListedKeyAnswersOnlyTheFirstQueryOfItsPass) {
    platform::Replay replay;
    std::string error;
    ASSERT_TRUE(platform::parseReplay("tankbattle-replay 1\n2 W W A\n4 W\n", replay, error)) << error;
    platform::ReplayKeyboard keyboard(replay);
    // clang-format off
    const struct { std::int64_t pass; std::vector<int> queries; std::vector<bool> answers; } passes[] = {
        {0, {'W', 'W'}, {false, false}}, {1, {'W'}, {false}}, {2, {'A', 'W', 'W', 'A', 'D'}, {true, true, false, false, false}},
        {3, {'W'}, {false}}, {4, {'D', 'W', 'W'}, {false, true, false}}, {5, {'W'}, {false}}};
    // clang-format on
    for (const auto& p : passes) {
        keyboard.beginPass(p.pass);
        for (std::size_t i = 0; i < p.queries.size(); ++i)
            EXPECT_EQ(keyboard.pressedSinceLastQuery(p.queries[i]), p.answers[i])
                << "pass " << p.pass << " query " << i;
    }
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
            EXPECT_EQ(std::memcmp(&back, &v, 4), 0) << text;
        }
    }
    // Non-finite values are strings.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    tb::world = tb::WorldState{};
    tb::world.cameraX = nan, tb::world.cameraY = inf, tb::world.cameraZ = -inf, tb::world.teamBalance = -nan;
    const std::string dump = tb::formatStateDump(3);
    std::vector<std::string> texts;
    for (const char* name : {"cameraX", "cameraY", "cameraZ", "teamBalance"}) texts.push_back(member(dump, name));
    EXPECT_EQ(texts, (std::vector<std::string>{"\"nan\"", "\"inf\"", "\"-inf\"", "\"nan\""}));
}

TEST(HeadlessDump, OneLineWithWholeNumbersInFull) {
    tb::world = tb::WorldState{};
    tb::world.randomState = 0xFFFFFFFFu;
    tb::world.frameCounter = -7;
    const std::string dump = tb::formatStateDump(123456789012LL);
    EXPECT_EQ(dump.find('\n'), std::string::npos);
    EXPECT_EQ(dump.front() + dump.substr(dump.size() - 1), "{}");
    EXPECT_EQ(member(dump, "pass") + " " + member(dump, "rng") + " " + member(dump, "frameCounter"),
              "123456789012 4294967295 -7");
    // The members' order and every record are held by the regression run's digests.
}

// ---- whole runs of the game ----

class HeadlessRun : public ::testing::Test {
protected:
    tbtest::ScratchDir dir{"core_headless"};

    struct Result {
        int status;
        std::string header, dump, errors;  // the dump file's first line, and the world's lines after it
    };
    Result run(const std::string& arguments, const std::string& dumpName) const {
        const fs::path dump = dir / dumpName, err = dir / (dumpName + ".err");
        const int status = tbtest::runGame(
            "--headless --data '" TANKBATTLE_GENERATED_DATA "' --dump-state '" + dump.string() + "' " + arguments, err);
        const std::string text = tbtest::readText(dump);
        const std::size_t eol = std::min(text.find('\n'), text.size());
        return {status, text.substr(0, eol), text.substr(std::min(eol + 1, text.size())), tbtest::readText(err)};
    }
};

TEST_F(HeadlessRun, BadReplaysStopBeforeAnyPassWithStatusTwo) {
    // clang-format off
    const struct { const char *text, *where; } cases[] = {{"tankbattle-replay 1\n\n4 W\n2 A\n", ":4:"},
        {"tankbattle-replay 1\n0 Alt\n", ":2:"}, {"# no header\n0 W\n", ":2:"}, {"tankbattle-replay 1\nW 0\n", ":2:"}};
    // clang-format on
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
        EXPECT_EQ(r.header, "{\"program\":\"tankbattle\",\"version\":\"" TANKBATTLE_VERSION "\"}");
        const std::vector<std::string> l = lines(r.dump);
        std::vector<std::string> passes;
        for (const std::string& line : l) passes.push_back(member(line, "pass"));
        EXPECT_EQ(passes, expected) << args;
    }
}

TEST(CommandLine, VersionIsTheOneInTheVersionFile) {
    const tbtest::ScratchDir dir("version");
    ASSERT_EQ(tbtest::run("'" TANKBATTLE_EXECUTABLE "' --version >'" + (dir / "out.txt").string() + "'"), 0);
    EXPECT_EQ(tbtest::readText(dir / "out.txt"),
              "tankbattle " + tbtest::readText(fs::path(TANKBATTLE_SOURCE_DIR) / "VERSION"));
}

TEST_F(HeadlessRun, AKilledRecordingKeepsTheGameSoFarAndTheFileThatWasThere) {
    // The game is killed while it records over a good replay: the good one stays,
    // and the one beside it holds the passes played, which replay to the same world.
    const std::string churn = TANKBATTLE_REGRESS_DIR "/churn.replay", out = (dir / "out.replay").string();
    dir.write("out.replay", "tankbattle-replay 1\n7 P\n");
    ASSERT_EQ(tbtest::run("cd '" + dir.path().string() + "' && { '" TANKBATTLE_EXECUTABLE
                          "' --headless --data '" TANKBATTLE_GENERATED_DATA "' --frames 4000 --replay '" + churn +
                          "' --record out.replay 2>/dev/null & pid=$!; n=0; "
                          "until [ \"$(cat out.replay.part 2>/dev/null | grep -c .)\" -ge 5 ] || [ $n -ge 3000 ]; do "
                          "sleep 0.01; n=$((n+1)); done; kill -9 $pid; wait $pid; [ $? -eq 137 ]; }"),
              0)
        << "the game was not killed while it recorded";
    EXPECT_EQ(tbtest::readText(out), "tankbattle-replay 1\n7 P\n");
    platform::Replay kept, original;
    std::string error, warning;
    ASSERT_TRUE(platform::loadReplay(out + ".part", kept, error, &warning)) << error;
    ASSERT_TRUE(platform::loadReplay(churn, original, error)) << error;
    ASSERT_GE(kept.passes.size(), 4u);
    ASSERT_LE(kept.passes.size(), original.passes.size());
    for (std::size_t i = 0; i < kept.passes.size(); ++i) {
        EXPECT_EQ(kept.passes[i].pass, original.passes[i].pass);
        EXPECT_EQ(std::set<int>(kept.passes[i].keys.begin(), kept.passes[i].keys.end()),
                  std::set<int>(original.passes[i].keys.begin(), original.passes[i].keys.end()));
    }
    const std::string frames = " --no-pixels --frames " + std::to_string(kept.passes.back().pass + 1);
    const Result fromKept = run("--replay '" + out + ".part'" + frames, "kept.jsonl");
    const Result fromOriginal = run("--replay '" + churn + "'" + frames, "original.jsonl");
    ASSERT_EQ(fromKept.status, 0) << fromKept.errors;
    EXPECT_EQ(fromKept.dump, fromOriginal.dump);
}

TEST(CommandLine, BadOptionsAreRefusedWithStatusTwoAndTheReason) {
    const tbtest::ScratchDir dir("options");
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"--bogus", "unknown option \"--bogus\""}, {"--headless -x", "unknown option \"-x\""},
        {"--frames", "--frames needs a value"}, {"--frames -1", "at least 0, not \"-1\""}, {"--frames 12x", "not \"12x\""},
        {"--frames 99999999999999999999", "whole number"},
        {"--dump-every=0", "--dump-every needs a whole number of at least 1"}, {"--window=yes", "--window takes no value"},
        {"--data=", "--data needs a non-empty value"}, {"--scale 5", "--scale needs a whole number from 1 to 4"},
        {"--scale 0", "--scale needs a whole number from 1 to 4"}, {"--threads 65", "--threads needs a whole number from 1 to 64"}};
    // clang-format on
    for (const auto& [arguments, reason] : cases) {
        EXPECT_EQ(tbtest::runGame(arguments, dir / "err.txt"), 2) << arguments;
        const std::string message = tbtest::readText(dir / "err.txt");
        EXPECT_NE(message.find(reason), std::string::npos) << arguments << ": " << message;
        EXPECT_NE(message.find("tankbattle --help"), std::string::npos) << arguments << ": " << message;
    }
}

// A player's hands, scripted: the keys pressed before each pass. Like the desktop
// keyboard, a press is reported to the first query of its key and then forgotten;
// a press the game never asks for in its pass is still there in the next one.
class ScriptedKeyboard : public platform::Keyboard {
public:
    explicit ScriptedKeyboard(std::map<std::int64_t, std::vector<int>> script) : script_(std::move(script)) {}
    void beginPass(std::int64_t pass) {
        if (auto it = script_.find(pass); it != script_.end()) latched_.insert(it->second.begin(), it->second.end());
    }
    bool pressedSinceLastQuery(int key) override { return latched_.erase(key) > 0; }

private:
    std::map<std::int64_t, std::vector<int>> script_;
    std::set<int> latched_;
};

TEST(DesktopReplayTest, ARecordedGameReplaysToTheSameWorld) {
    const int kp1 = vk::Numpad1, kp2 = vk::Numpad2, kp4 = vk::Numpad4, kp5 = vk::Numpad5;
    // Presses the game cannot use (the first pass, a second shot while reloading,
    // a key pressed twice before a pass) must replay as they played.
    // clang-format off
    ScriptedKeyboard player({{0, {kp5, 'W'}}, {1, {kp5, kp5}}, {3, {kp5, kp1, 'W', 'A'}}, {10, {vk::Right, vk::Space}},
                             {11, {vk::Enter, vk::Ctrl}}, {20, {'1', '2', '6', '7'}}, {45, {kp4, 'Q', 'I', 'D', kp2}},
                             {150, {'P', 'O'}}, {300, {'P', kp1, 'E', '1', 'I'}}, {599, {vk::Space, vk::Right}}});
    // clang-format on
    const tbtest::ScratchDir dir("replay");
    const std::string file = (dir / "game.replay").string(), dump = (dir / "dump.jsonl").string();
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    std::string recorded, error;
    {
        tb::Session session;
        session.playLive(player);
        ASSERT_TRUE(session.recordTo(file, error)) << error;
        session.stopAfter(600);
        session.setPixels(false);
        session.dumpEvery(50, [&](const std::string& line) { recorded += line + "\n"; });
        session.start();
        while (!session.finished()) {
            player.beginPass(session.passes());
            session.step();
        }
        ASSERT_TRUE(session.finish(error)) << error;
    }
    ASSERT_EQ(tbtest::runGame("--headless --no-pixels --data '" TANKBATTLE_GENERATED_DATA "' --frames 600 --replay '" +
                                  file + "' --dump-state '" + dump + "' --dump-every 50",
                              dir / "err.txt"),
              0);
    EXPECT_EQ(tbtest::readText(dump), tb::formatDumpHeader() + "\n" + recorded);
}

}  // namespace
