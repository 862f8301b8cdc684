// Record-then-replay: a session played through the recording keyboard and
// written to a file gives the same world when the file is played back, in this
// process and through the headless runner.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/dump.h"
#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace vk = platform::vk;

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

// The state dump after every 50th pass of a 600-pass session, each pass started by passStart.
template <class PassStart>
std::string session(platform::Keyboard& keyboard, PassStart passStart) {
    tb::world = tb::WorldState{};
    platform::setKeyboard(&keyboard);
    tb::initGame();
    std::string dumps;
    for (std::int64_t pass = 0; pass < 600;) {
        passStart(pass);
        tb::runPass();
        if (++pass % 50 == 0) dumps += tb::formatStateDump(pass) + "\n";
    }
    tb::shutdownDisplay();
    platform::setKeyboard(nullptr);
    return dumps;
}

TEST(DesktopReplayTest, ARecordedSessionReplaysToTheSameWorld) {
    const int kp1 = vk::Numpad1, kp2 = vk::Numpad2, kp4 = vk::Numpad4, kp5 = vk::Numpad5;
    // Presses the game never reads (the first pass, a second shot while reloading,
    // a key pressed twice before a pass) must not be recorded as if it had.
    ScriptedKeyboard player({{0, {kp5, 'W'}},
                             {1, {kp5, kp5}},
                             {3, {kp5, kp1, 'W', 'A'}},
                             {10, {vk::Right, vk::Space}},
                             {11, {vk::Enter, vk::Ctrl}},
                             {20, {'1', '2', '6', '7'}},
                             {45, {kp4, 'Q', 'I', 'D', kp2}},
                             {150, {'P', 'O'}},
                             {300, {'P', kp1, 'E', '1', 'I'}},
                             {599, {vk::Space, vk::Right}}});
    platform::RecordingKeyboard recorder(player);
    softglide::setRasterEnabled(false);
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    const std::string recorded = session(recorder, [&](std::int64_t pass) {
        player.beginPass(pass);
        recorder.beginPass(pass);
    });

    const tbtest::ScratchDir dir("replay");
    const std::string file = (dir / "session.replay").string(), dump = (dir / "dump.jsonl").string();
    std::string error;
    ASSERT_TRUE(platform::saveReplay(file, recorder.recorded(), error)) << error;
    platform::Replay replay;
    ASSERT_TRUE(platform::loadReplay(file, replay, error)) << error;
    platform::ReplayKeyboard playback(replay);
    EXPECT_EQ(session(playback, [&](std::int64_t pass) { playback.beginPass(pass); }), recorded);
    softglide::setRasterEnabled(true);

    ASSERT_EQ(tbtest::run(std::string("'") + TANKBATTLE_EXECUTABLE + "' --headless --no-pixels --data '" +
                          TANKBATTLE_GENERATED_DATA + "' --frames 600 --replay '" + file + "' --dump-state '" + dump +
                          "' --dump-every 50"),
              0);
    EXPECT_EQ(tbtest::readText(dump), recorded);
}

}  // namespace
