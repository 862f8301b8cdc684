// What a new player meets around the game: options that would do nothing are
// refused, screenshots never overwrite older ones, damaged or endless data files
// are named, the volume, and a paused game plays on exactly as it would have.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <SDL.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/screenshot.h"
#include "platform/sdl/sound.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using tbtest::readText;

std::string optionError(std::vector<std::string> args) {
    args.insert(args.begin(), "tankbattle");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    tb::Options options;
    std::string error;
    return tb::parseOptions(int(argv.size()), argv.data(), options, error) ? "" : error;
}

TEST(DesktopComforts, OptionsThatWouldDoNothingAreRefused) {
    const struct {
        std::vector<std::string> args;
        const char* refusal;  // empty: accepted
    } cases[] = {
        {{"--window", "--dump-state", "x"}, "--dump-state works only with --headless"},
        {{"--no-pixels"}, "--no-pixels works only with --headless"},
        {{"--headless", "--frames", "9", "--window"}, "--window is for play in a window"},
        {{"--headless", "--frames", "9", "--record", "r"}, "--record is for play in a window"},
        {{"--headless", "--frames", "9", "--volume", "5"}, "--volume is for play in a window"},
        {{"--headless"}, "--headless needs --frames N"},
        {{"--headless", "--frames", "9", "--dump-every", "3"}, "--dump-every needs --dump-state"},
        {{"--volume", "101"}, "from 0 to 100"},
        {{"--headless", "--frames", "9", "--dump-state", "d", "--dump-every", "3", "--no-pixels"}, ""},
        {{"--window", "--volume", "0", "--mute", "--record", "r", "--replay", "p"}, ""},
    };
    for (const auto& c : cases) {
        const std::string error = optionError(c.args);
        if (*c.refusal)
            EXPECT_NE(error.find(c.refusal), std::string::npos) << c.args[0] << ": " << error;
        else
            EXPECT_EQ(error, "") << c.args[0];
    }
}

TEST(DesktopComforts, ScreenshotsTakeTheNextFreeNumber) {
    tbtest::ScratchDir dir{"shots"};
    for (const char* name : {"tankbattle-001.png", "tankbattle-002.png", "tankbattle-004.png"}) dir.write(name, "x");
    int last = 0;
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) names.push_back(fs::path(platform::nextScreenshotPath(dir.path(), last)).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"tankbattle-003.png", "tankbattle-005.png", "tankbattle-006.png"}));
}

TEST(DesktopComforts, DamagedDataFilesAreNamedAndEndlessOnesNeverRead) {
    tbtest::ScratchDir dir{"damaged"};
    const std::string data = TANKBATTLE_GENERATED_DATA;
    const struct {
        const char* what;
        const char* file;
        int kind;  // 0: these bytes, 1: a directory, 2: /dev/zero, 3: a FIFO, 4: 17 MB
        std::string bytes;
        const char* warning;  // empty: refused at start with exit status 1
    } cases[] = {
        {"empty model", "Tank.ddo", 0, "", "holds no model records (0 bytes)"},
        {"short model", "Tank.ddo", 0, std::string(116 * 3 + 5, '\1'), "holds only 3 of the 420 model records"},
        {"model cut by 0x1A", "Tank.ddo", 0, std::string(300, '\1') + "\x1a" + std::string(50000, '\1'),
         "cut short by a 0x1A byte at 300"},
        {"model directory", "Tank.ddo", 1, "", "not a regular file (a directory)"},
        {"small ground bitmap", "tex.bmp", 0, std::string(2000, '\1'), "tex.bmp\" is a bitmap too small (2000 bytes)"},
        {"ground from /dev/zero", "tex.bmp", 2, "", "not a regular file (a device)"},
        {"ground FIFO", "tex.bmp", 3, "", "not a regular file (a FIFO)"},
        {"empty colour bitmap", "tex2.bmp", 0, "", "tex2.bmp\" is a bitmap too small (0 bytes)"},
        {"huge colour bitmap", "tex2.bmp", 4, "", ""},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir / "data");
        fs::copy(data, dir / "data");
        const fs::path file = dir / "data" / c.file;
        fs::remove(file);
        if (c.kind == 0) dir.write(std::string("data/") + c.file, c.bytes);
        if (c.kind == 1) fs::create_directory(file);
        if (c.kind == 2) fs::create_symlink("/dev/zero", file);
        if (c.kind == 3) {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        }
        if (c.kind == 4) dir.write(std::string("data/") + c.file, std::string(17 << 20, '\0'));
        const int status = tbtest::run("timeout 60 '" TANKBATTLE_EXECUTABLE "' --headless --frames 2 --data '" +
                                       (dir / "data").string() + "' 2>'" + (dir / "err").string() + "'");
        const std::string err = readText(dir / "err");
        EXPECT_EQ(status, *c.warning ? 0 : 1) << c.what << ": " << err;
        EXPECT_NE(err.find(*c.warning ? c.warning : "17825792 bytes, far more than the game reads"), std::string::npos)
            << c.what << ": " << err;
        EXPECT_EQ(tbtest::lines(err).size(), 1u) << c.what << ": " << err;
    }
}

TEST(DesktopComforts, TheVolumeScalesTheSamples) {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    tbtest::ScratchDir dir{"volume"};
    const std::string previous = platform::dataDirectory();
    platform::setDataDirectory(dir.path());
    // A mono 16-bit WAV of four samples at 1000.
    dir.write("bumm.wav", std::string("RIFF\x2c\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x44\xac\0\0\x02\0\x10\0"
                                      "data\x08\0\0\0\xe8\x03\xe8\x03\xe8\x03\xe8\x03",
                                      52));
    platform::sdl::DesktopSound sound;
    platform::sdl::SoundOptions options;
    options.frequency = 22050, options.format = AUDIO_S16LSB, options.channels = 1;
    options.allowDeviceChanges = false, options.startPaused = true;
    std::string error;
    ASSERT_TRUE(sound.open(options, error)) << error;
    for (const auto& [volume, level] : {std::pair{100, 1000}, {50, 500}, {0, 0}}) {
        sound.setVolume(volume);
        sound.play("bumm.wav");
        std::int16_t out[4] = {1, 1, 1, 1};
        sound.mix(reinterpret_cast<std::uint8_t*>(out), sizeof out);
        for (std::int16_t sample : out) EXPECT_NEAR(sample, level, 8) << "volume " << volume;
    }
    platform::setDataDirectory(previous);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// Under a virtual X server without a window manager: full screen fills the
// screen, a replay played with a pause in it records the same keys in the same
// passes, and F12 keeps an older screenshot. Then in a window, a key bound in
// the settings file is recorded as the game key it stands for.
TEST(DesktopWindowComforts, FullScreenFillsTheScreenAndAPauseChangesNoPass) {
    if (tbtest::run("command -v xvfb-run >/dev/null && command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xvfb-run or xdotool not installed";
    tbtest::ScratchDir dir{"pause"};
    const std::string replay = "tankbattle-replay 1\n1 1 2 6 KP5\n40 Right W\n200 P O\n290 KP4 Space\n";
    dir.write("in.replay", replay);
    dir.write("tankbattle-001.png", "older");
    dir.write("run.sh", R"sh(
exe=$1; dir=$2; cd "$dir"
within_a_minute() {
  end=$(( $(date +%s) + 60 ))
  until "$@"; do [ "$(date +%s)" -lt "$end" ] || return 1; sleep 0.05; done
}
window() { wid=$(xdotool search --name '^tankbattle$' 2>/dev/null | head -n1); [ -n "$wid" ] || ! kill -0 $pid; }
filled() { window && xdotool getwindowgeometry "$wid" > geometry.txt; grep -q 'Geometry: 800x600' geometry.txt; }
# The server first; a game that found no display on a busy machine is started again.
within_a_minute xdotool getdisplaygeometry
start() {
  for attempt in 1 2 3; do
    "$exe" "$@" &
    pid=$!
    within_a_minute window && [ -n "$wid" ] && return 0
  done
  return 1
}
start --mute --data "$3" --replay in.replay --record out.replay --frames 300 2>err.txt
within_a_minute filled
xdotool key Pause
sleep 1  # the pause itself, as a player would hold it
xdotool key Pause F12
wait $pid
echo "status=$?" > result.txt
start --window --mute --data "$3" --config keys.ini --record keys.replay 2>keys-err.txt
window
xdotool windowfocus --sync "$wid"
# A screenshot is taken between passes: after it, keys reach a pass that reads them.
xdotool key F12
within_a_minute test -f tankbattle-003.png
xdotool key --delay 100 Up KP_5 w Escape
wait $pid
)sh");
    dir.write("keys.ini", "key.KP5 = Up\nkey.Bogus = A\n");
    ASSERT_EQ(tbtest::run("timeout 120 xvfb-run -a -s '-screen 0 800x600x24' sh '" + (dir / "run.sh").string() +
                          "' '" TANKBATTLE_EXECUTABLE "' '" + dir.path().string() +
                          "' '" TANKBATTLE_GENERATED_DATA "' >/dev/null 2>&1"),
              0);
    EXPECT_EQ(readText(dir / "result.txt"), "status=0\n") << readText(dir / "err.txt");
    EXPECT_NE(readText(dir / "geometry.txt").find("Position: 0,0"), std::string::npos)
        << readText(dir / "geometry.txt");
    EXPECT_NE(readText(dir / "geometry.txt").find("Geometry: 800x600"), std::string::npos);
    EXPECT_EQ(readText(dir / "out.replay"), replay);
    EXPECT_EQ(readText(dir / "tankbattle-001.png"), "older");
    EXPECT_EQ(readText(dir / "tankbattle-002.png").substr(0, 4), "\x89PNG");
    // Up stands for keypad 5, which no longer does; the bad line is named.
    platform::Replay recorded;
    std::string error;
    ASSERT_TRUE(platform::loadReplay((dir / "keys.replay").string(), recorded, error)) << error;
    std::vector<int> keys;  // in any grouping into passes
    for (const platform::ReplayPass& pass : recorded.passes)
        keys.insert(keys.end(), pass.keys.begin(), pass.keys.end());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<int>{platform::vk::Escape, 'W', platform::vk::Numpad5}));
    EXPECT_NE(readText(dir / "keys-err.txt").find("keys.ini:2: no game key"), std::string::npos);
}

}  // namespace
