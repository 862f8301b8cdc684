// The game in a real window under a virtual X server: keys sent as a player
// would reach the game (seen in the recording it writes), F12 and --screenshot
// write the picture, Escape ends it with status 0. Skipped where xvfb-run or
// xdotool is missing. Without any display the game says so and exits with 1.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/datadir.h"
#include "platform/keyboard.h"
#include "platform/replay.h"

#ifndef TANKBATTLE_EXECUTABLE
#define TANKBATTLE_EXECUTABLE "tankbattle"
#endif

namespace {

namespace fs = std::filesystem;
namespace vk = platform::vk;

bool onPath(const char* program) {
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

int exitStatus(int systemResult) { return WIFEXITED(systemResult) ? WEXITSTATUS(systemResult) : -1; }

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// The smallest data set the game starts with: an empty model, flat textures,
// one-sample sounds (the window test is about the platform, not the pictures).
void writeData(const fs::path& dir) {
    fs::create_directories(dir);
    writeBytes(dir / "Tank.ddo", std::string(420 * 116, '\0'));
    writeBytes(dir / "tex.bmp", std::string(1078, '\0') + std::string(256 * 256, '\x40'));
    writeBytes(dir / "tex2.bmp", std::string(1078, '\0') + std::string(256 * 256, '\x80'));
    std::string wav("RIFF\x26\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x22\x56\0\0\x01\0\x08\0data\x02\0\0\0\x80\x80",
                    46);
    writeBytes(dir / "bumm.wav", wav);
    writeBytes(dir / "expl.wav", wav);
}

class DesktopWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tankbattle_window_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        writeData(dir_ / "data");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
};

TEST_F(DesktopWindowTest, KeysSentToTheWindowReachTheGameAndEscapeEndsIt) {
    if (!onPath("xvfb-run") || !onPath("xdotool")) GTEST_SKIP() << "xvfb-run or xdotool not installed";
    // Keypad keys with NumLock on (KP_5) and off (KP_End), both Enter and Ctrl keys,
    // the laptop binding (k), player 2's letters, a digit; then F12 and Escape.
    const std::string script = R"(
exe=$1; dir=$2
cd "$dir"
"$exe" --window --mute --data "$dir/data" --record "$dir/rec.txt" --screenshot "$dir/last.png" 2>"$dir/stderr.txt" &
pid=$!
wid=""
for i in $(seq 1 200); do
  wid=$(xdotool search --name '^tankbattle$' 2>/dev/null | head -n1)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || { kill $pid; echo nowindow > "$dir/result.txt"; exit 0; }
xdotool windowfocus --sync "$wid"
sleep 1
xdotool key --delay 80 KP_5 KP_End Right KP_Enter w d space Control_R 6 k
sleep 0.3
xdotool key F12
sleep 0.5
xdotool key Escape
wait $pid
echo "status=$?" > "$dir/result.txt"
)";
    writeBytes(dir_ / "run.sh", script);
    std::string command = "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24' sh '" + (dir_ / "run.sh").string() +
                          "' '" TANKBATTLE_EXECUTABLE "' '" + dir_.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(exitStatus(std::system(command.c_str())), 0) << readText(dir_ / "stderr.txt");

    // The window, titled "tankbattle", opened and the game ended normally on Escape.
    EXPECT_EQ(readText(dir_ / "result.txt"), "status=0\n") << readText(dir_ / "stderr.txt");

    // Every key arrived once, in order, as the game's virtual key.
    platform::Replay recorded;
    std::string error;
    ASSERT_TRUE(platform::loadReplay((dir_ / "rec.txt").string(), recorded, error)) << error;
    std::vector<int> keys;
    for (const platform::ReplayPass& pass : recorded.passes)
        for (int key : pass.keys) keys.push_back(key);
    const std::vector<int> expected = {vk::Numpad5, vk::Numpad1, vk::Right, vk::Enter, 'W', 'D',
                                       vk::Space,   vk::Ctrl,    '6',       vk::Numpad5, vk::Escape};
    EXPECT_EQ(keys, expected) << readText(dir_ / "rec.txt");
    // The keys came in over several passes while the game ran at its pace.
    ASSERT_GE(recorded.passes.size(), 2u);
    EXPECT_GT(recorded.passes.back().pass, recorded.passes.front().pass);

    // F12 and --screenshot wrote PNG pictures.
    for (const char* name : {"tankbattle-001.png", "last.png"}) {
        std::string png = readText(dir_ / name);
        ASSERT_GE(png.size(), 8u) << name;
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
    }
}

TEST_F(DesktopWindowTest, WithoutADisplayTheGameSaysSoAndExitsWithOne) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" TANKBATTLE_EXECUTABLE
                          "' --window --mute --data '" +
                          (dir_ / "data").string() + "' --frames 5 2>'" + (dir_ / "err.txt").string() + "'";
    EXPECT_EQ(exitStatus(std::system(command.c_str())), 1);
    std::string message = readText(dir_ / "err.txt");
    EXPECT_NE(message.find("no display"), std::string::npos) << message;
    EXPECT_NE(message.find("--headless"), std::string::npos) << message;
}

TEST_F(DesktopWindowTest, ABadReplayStopsBeforeAnyWindow) {
    writeBytes(dir_ / "bad.txt", "tankbattle-replay 1\n0 NoSuchKey\n");
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY '" TANKBATTLE_EXECUTABLE "' --window --mute --data '" +
                          (dir_ / "data").string() + "' --replay '" + (dir_ / "bad.txt").string() + "' 2>'" +
                          (dir_ / "err.txt").string() + "'";
    EXPECT_EQ(exitStatus(std::system(command.c_str())), 2);
    std::string message = readText(dir_ / "err.txt");
    EXPECT_NE(message.find("bad.txt"), std::string::npos) << message;
    EXPECT_EQ(message.find("no display"), std::string::npos) << message;
}

}  // namespace
