// Record-then-replay: a session played through the recording keyboard, replayed
// from the file it wrote, gives the same world pass for pass, in this process
// and through the headless runner.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/dump.h"
#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/datadir.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace vk = platform::vk;

// A player's hands, scripted: the keys pressed before each pass. Like the desktop
// keyboard, a press is reported to the first query of its key and then forgotten;
// a press the game never asks for in its pass is still there in the next one.
class ScriptedKeyboard : public platform::Keyboard {
public:
    explicit ScriptedKeyboard(std::map<std::int64_t, std::vector<int>> script) : script_(std::move(script)) {}
    void beginPass(std::int64_t pass) {
        if (auto it = script_.find(pass); it != script_.end())
            for (int key : it->second) latched_.insert(key);
    }
    bool pressedSinceLastQuery(int key) override { return latched_.erase(key) > 0; }

private:
    std::map<std::int64_t, std::vector<int>> script_;
    std::set<int> latched_;
};

// Runs a session of at most `passes` passes with the given keyboard; returns the
// state dump after every `every`-th pass and after the last one.
template <class PassStart>
std::vector<std::string> runSession(platform::Keyboard& keyboard, std::int64_t passes, std::int64_t every,
                                    PassStart passStart) {
    tb::world = tb::WorldState{};
    platform::setKeyboard(&keyboard);
    tb::initGame();
    std::vector<std::string> dumps;
    std::int64_t done = 0;
    while (!tb::world.quitRequested && done < passes) {
        passStart(done);
        tb::runPass();
        ++done;
        if (done % every == 0) dumps.push_back(tb::formatStateDump(done));
    }
    if (done % every != 0) dumps.push_back(tb::formatStateDump(done));
    tb::shutdownDisplay();
    platform::setKeyboard(nullptr);
    return dumps;
}

class DesktopReplayTest : public ::testing::Test {
protected:
    tbtest::ScratchDir dir{"replay"};
    std::string data, previousData;

    // The generated data set when it has been built, else a zero-filled stand-in (empty model, flat textures).
    void SetUp() override {
        data = (dir / "data").string();
#ifdef TANKBATTLE_GENERATED_DATA
        if (fs::exists(fs::path(TANKBATTLE_GENERATED_DATA) / "Tank.ddo")) data = TANKBATTLE_GENERATED_DATA;
#endif
        fs::create_directories(dir / "data");
        for (const std::string& name : platform::dataFileNames()) dir.write("data/" + name, "");
        previousData = platform::dataDirectory();
        platform::setDataDirectory(data);
        softglide::setRasterEnabled(false);  // pixels change nothing in the world; this keeps the test quick
    }
    void TearDown() override {
        softglide::setRasterEnabled(true);
        platform::setDataDirectory(previousData);
    }
};

TEST_F(DesktopReplayTest, ARecordedSessionReplaysToTheSameWorld) {
    const int kp1 = vk::Numpad1, kp2 = vk::Numpad2, kp3 = vk::Numpad3, kp4 = vk::Numpad4, kp5 = vk::Numpad5,
              kp6 = vk::Numpad6;
    struct Case {
        const char* what;
        std::int64_t passes;
        std::map<std::int64_t, std::vector<int>> script;
    };
    const std::vector<Case> cases = {
        {"a two-player battle with tanks joining and leaving",
         600,
         {{0, {kp5, 'W'}},  // first pass: keys are used up without effect
          {1, {kp5, kp5}},
          {3, {kp5, kp1, 'W', 'W', 'A'}},
          {10, {vk::Right, vk::Space}},
          {11, {vk::Enter, vk::Ctrl}},  // reloading: no second shot
          {20, {'1', '2', '6', '7'}},
          {45, {kp4, kp4, 'Q'}},
          {60, {vk::Right, vk::Enter, vk::Space, vk::Ctrl}},
          {90, {'I', 'D', 'S', kp3, kp2, kp6}},
          {120, {'3', '4', '5', '8', '9', '0'}},
          {150, {'P', 'O'}},
          {200, {kp5}},
          {260, {'I', '1', '6', vk::Space}},
          {300, {'P', kp1, 'E', 'E'}},
          {420, {vk::Right, 'O', '2'}},
          {599, {vk::Space, vk::Right}}}},
        {"Escape ends the session early", 400, {{5, {kp5, 'W'}}, {30, {vk::Right}}, {77, {vk::Escape, kp1}}}},
    };
    for (const Case& c : cases) {
        const std::int64_t every = 50;
        ScriptedKeyboard player(c.script);
        platform::RecordingKeyboard recorder(player);
        std::vector<std::string> recorded = runSession(recorder, c.passes, every, [&](std::int64_t pass) {
            player.beginPass(pass);
            recorder.beginPass(pass);
        });

        // Through the file, as --record writes it and --replay reads it.
        const fs::path file = dir / "session.replay";
        std::string error;
        ASSERT_TRUE(platform::saveReplay(file.string(), recorder.recorded(), error)) << c.what << ": " << error;
        platform::Replay replay;
        ASSERT_TRUE(platform::loadReplay(file.string(), replay, error)) << c.what << ": " << error;
        if (!c.script.empty()) {
            EXPECT_FALSE(replay.passes.empty()) << c.what;
        }

        platform::ReplayKeyboard playback(replay);
        std::vector<std::string> replayed =
            runSession(playback, c.passes, every, [&](std::int64_t pass) { playback.beginPass(pass); });
        ASSERT_EQ(replayed.size(), recorded.size()) << c.what;
        for (std::size_t i = 0; i < recorded.size(); ++i)
            ASSERT_EQ(replayed[i], recorded[i]) << c.what << ", dump " << i;

        // The headless runner writes the same dumps from the same file.
        const fs::path dump = dir / "dump.jsonl";
        const std::string command = std::string("'") + TANKBATTLE_EXECUTABLE + "' --headless --no-pixels --data '" +
                                    data + "' --frames " + std::to_string(c.passes) + " --replay '" + file.string() +
                                    "' --dump-state '" + dump.string() + "' --dump-every " + std::to_string(every);
        ASSERT_EQ(tbtest::run(command), 0) << c.what << ": " << command;
        const std::vector<std::string> headless = tbtest::lines(tbtest::readText(dump));
        ASSERT_EQ(headless.size(), recorded.size()) << c.what;
        for (std::size_t i = 0; i < recorded.size(); ++i)
            ASSERT_EQ(headless[i], recorded[i]) << c.what << ", dump " << i;
    }
}

}  // namespace
