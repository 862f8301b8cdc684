// The game in a real window under a virtual X server: keys sent as a player
// would reach the game (seen in the recording it writes), F12 and --screenshot
// write the picture, Escape ends it with status 0. Skipped where xvfb-run or
// xdotool is missing. Without any display the game says so and exits with 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/replay.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace vk = platform::vk;
using tbtest::readText;

bool onPath(const std::string& program) { return tbtest::run("command -v " + program + " >/dev/null 2>&1") == 0; }

// The smallest data set the game starts with: an empty model, flat textures,
// one-sample sounds (the window test is about the platform, not the pictures).
class DesktopWindowTest : public ::testing::Test {
protected:
    tbtest::ScratchDir dir{"window"};
    void SetUp() override {
        fs::create_directories(dir / "data");
        dir.write("data/Tank.ddo", std::string(420 * 116, '\0'));
        dir.write("data/tex.bmp", std::string(1078, '\0') + std::string(256 * 256, '\x40'));
        dir.write("data/tex2.bmp", std::string(1078, '\0') + std::string(256 * 256, '\x80'));
        const std::string wav(
            "RIFF\x26\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x22\x56\0\0\x01\0\x08\0data\x02\0\0\0\x80\x80",
            46);
        dir.write("data/bumm.wav", wav);
        dir.write("data/expl.wav", wav);
    }
};

TEST_F(DesktopWindowTest, KeysSentToTheWindowReachTheGameAndEscapeEndsIt) {
    if (!onPath("xvfb-run") || !onPath("xdotool")) GTEST_SKIP() << "xvfb-run or xdotool not installed";
    // Keypad keys with NumLock on (KP_5) and off (KP_End), both Enter and Ctrl keys,
    // player 2's letters, a digit, the laptop binding (j); then F12 and, once the
    // screenshot is written, Escape. Nothing waits for a time: the game takes keys
    // once F12 (pressed again each second) has written a first screenshot.
    const std::string script = R"sh(
exe=$1; dir=$2
cd "$dir"
within_a_minute() {
  end=$(( $(date +%s) + 60 ))
  until "$@"; do [ "$(date +%s)" -lt "$end" ] || return 1; sleep 0.05; done
}
server() { xdotool getdisplaygeometry >/dev/null 2>&1; }
window() { wid=$(xdotool search --name '^tankbattle$' 2>/dev/null | head -n1); [ -n "$wid" ] || ! kill -0 $pid; }
shots() { grep -c 'screenshot written' "$dir/stderr.txt"; }
taking_keys() {
  [ "$(date +%s)" = "${pressed:-}" ] || { xdotool key F12; pressed=$(date +%s); }
  [ "$(shots)" -gt 0 ]
}
more_shots_than() { [ "$(shots)" -gt "$1" ]; }
fail() { kill ${pid:-} 2>/dev/null; echo "$1" > "$dir/result.txt"; exit 0; }
within_a_minute server || fail "no X server"
# SDL now and then finds no usable display on a busy machine: up to three starts.
for attempt in 1 2 3; do
  "$exe" --window --mute --data "$dir/data" --record "$dir/rec.txt" --screenshot "$dir/last.png" 2>"$dir/stderr.txt" &
  pid=$!
  within_a_minute window && [ -n "$wid" ] && break
done
[ -n "$wid" ] || fail "no window"
xdotool windowfocus --sync "$wid"
within_a_minute taking_keys || fail "no first screenshot"
n=$(shots)
for key in KP_5 KP_End Right KP_Enter w d space Control_R 6 j F12; do xdotool key $key; done
within_a_minute more_shots_than "$n" || fail "no second screenshot"
xdotool key Escape
wait $pid
echo "status=$?" > "$dir/result.txt"
)sh";
    dir.write("run.sh", script);
    // The search for a free display starts at a number of this process's own, so that
    // test runs started together do not race for the same one.
    ASSERT_EQ(tbtest::run("timeout 300 xvfb-run -a -n " + std::to_string(100 + ::getpid() % 20000) +
                          " -s '-screen 0 1024x768x24' sh '" + (dir / "run.sh").string() +
                          "' '" TANKBATTLE_EXECUTABLE "' '" + dir.path().string() + "' >/dev/null 2>&1"),
              0)
        << readText(dir / "stderr.txt");

    // The window, titled "tankbattle", opened and the game ended normally on Escape.
    EXPECT_EQ(readText(dir / "result.txt"), "status=0\n") << readText(dir / "stderr.txt");

    // Every key arrived once, as the game's virtual key, no earlier than the one
    // sent before it (keys read in one pass are recorded in the order the game
    // asks for them). Right Ctrl may come twice: SDL's X11 driver now and then
    // reports a modifier pressed again when it brings its key state up to date.
    platform::Replay recorded;
    std::string error;
    ASSERT_TRUE(platform::loadReplay((dir / "rec.txt").string(), recorded, error)) << error;
    const std::vector<int> sent = {vk::Numpad5, vk::Numpad1, vk::Right, vk::Enter,   'W',       'D',
                                   vk::Space,   vk::Ctrl,    '6',       vk::Numpad4, vk::Escape};
    std::vector<std::int64_t> passOf(sent.size(), -1);
    for (const platform::ReplayPass& pass : recorded.passes)
        for (int key : pass.keys) {
            const std::size_t k = std::find(sent.begin(), sent.end(), key) - sent.begin();
            ASSERT_TRUE(k < sent.size() && (passOf[k] < 0 || key == vk::Ctrl)) << readText(dir / "rec.txt");
            if (passOf[k] < 0) passOf[k] = pass.pass;
        }
    for (std::size_t k = 1; k < sent.size(); ++k)
        EXPECT_GE(passOf[k], passOf[k - 1]) << "key " << k << "\n" << readText(dir / "rec.txt");
    EXPECT_GE(passOf[0], 0);
    // Escape was sent after the screenshot was written, so it came in a later pass.
    EXPECT_GT(passOf.back(), passOf[sent.size() - 2]);

    // F12 and --screenshot wrote PNG pictures.
    for (const char* name : {"tankbattle-001.png", "last.png"}) {
        std::string png = readText(dir / name);
        ASSERT_GE(png.size(), 8u) << name;
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
    }
}

TEST_F(DesktopWindowTest, WithoutADisplayTheGameSaysSoAndExitsWithOne) {
    EXPECT_EQ(tbtest::run("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" TANKBATTLE_EXECUTABLE
                          "' --window --mute --data '" +
                          (dir / "data").string() + "' --frames 5 2>'" + (dir / "err.txt").string() + "'"),
              1);
    std::string message = readText(dir / "err.txt");
    EXPECT_NE(message.find("no display"), std::string::npos) << message;
    EXPECT_NE(message.find("--headless"), std::string::npos) << message;
}

TEST_F(DesktopWindowTest, ABadReplayStopsBeforeAnyWindow) {
    dir.write("bad.txt", "tankbattle-replay 1\n0 NoSuchKey\n");
    EXPECT_EQ(tbtest::run("env -u DISPLAY -u WAYLAND_DISPLAY '" TANKBATTLE_EXECUTABLE "' --window --mute --data '" +
                          (dir / "data").string() + "' --replay '" + (dir / "bad.txt").string() + "' 2>'" +
                          (dir / "err.txt").string() + "'"),
              2);
    std::string message = readText(dir / "err.txt");
    EXPECT_NE(message.find("bad.txt"), std::string::npos) << message;
    EXPECT_EQ(message.find("no display"), std::string::npos) << message;
}

}  // namespace
