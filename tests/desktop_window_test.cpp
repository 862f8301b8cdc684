// The game in a real window under a virtual X server: keys sent as a player
// would reach the game (seen in the recording it writes), also through a
// binding from the settings file, which keeps a volume changed in the game
// without losing a line; F12 and --screenshot write the picture and
// never overwrite an older one; full screen fills the screen; a pause changes
// no pass; Escape ends the game with status 0. Skipped where xvfb-run or
// xdotool is missing. Without any display the game says so and exits with 1.
#include <gtest/gtest.h>

#include "platform/keyboard.h"
#include "platform/replay.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace vk = platform::vk;
using tbtest::readText;

// Shell functions for the scripts: wait for a condition for at most a minute;
// find the game's window; start the game (again, up to three times, when SDL
// finds no usable display on a busy machine). The X server is waited for first.
const std::string kShellHelpers = R"sh(
exe=$1; dir=$2; data=$3; cd "$dir"
within_a_minute() {
  end=$(( $(date +%s) + 60 ))
  until "$@"; do [ "$(date +%s)" -lt "$end" ] || return 1; sleep 0.05; done
}
window() { wid=$(xdotool search --name '^tankbattle$' 2>/dev/null | head -n1); [ -n "$wid" ] || ! kill -0 $pid; }
start() {
  for attempt in 1 2 3; do
    "$exe" "$@" &
    pid=$!
    within_a_minute window && [ -n "$wid" ] && return 0
  done
  return 1
}
fail() { kill ${pid:-} 2>/dev/null; echo "$1" > result.txt; exit 0; }
within_a_minute xdotool getdisplaygeometry >/dev/null 2>&1 || fail "no X server"
)sh";

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
        dir.write("data/bumm.wav", tbtest::wav(22050, 1, 8, "\x80\x80"));
        dir.write("data/expl.wav", tbtest::wav(22050, 1, 8, "\x80\x80"));
    }
    // Runs the script under its own virtual X server of this size, with the scratch
    // directory as home (settings the game keeps go there; the search for a free
    // display starts at a number of this process's own, so that runs started together do
    // not race for the same one); the script ends by writing result.txt.
    bool runUnderX(const std::string& script, const std::string& screen, const std::string& data) {
        if (tbtest::run("command -v xvfb-run >/dev/null && command -v xdotool >/dev/null") != 0) return false;
        dir.write("run.sh", kShellHelpers + script);
        EXPECT_EQ(tbtest::run("env -u XDG_CONFIG_HOME HOME='" + dir.path().string() + "' timeout 300 xvfb-run -a -n " +
                              std::to_string(100 + ::getpid() % 20000) + " -s '-screen 0 " + screen + "x24' sh '" +
                              (dir / "run.sh").string() + "' '" TANKBATTLE_EXECUTABLE "' '" + dir.path().string() +
                              "' '" + data + "' >/dev/null 2>&1"),
                  0);
        return true;
    }
};

TEST_F(DesktopWindowTest, KeysSentToTheWindowReachTheGameAndEscapeEndsIt) {
    // Up, bound to keypad 5 in the settings file (keypad 5 itself then presses nothing),
    // keypad keys with NumLock off (KP_End), both Enter and Ctrl keys, player 2's letters, a
    // digit, the laptop binding (j); then F12 and, once the screenshot is written, Escape.
    // Nothing waits for a time: the game takes keys once F12 (pressed again each second)
    // has written a first screenshot.
    dir.write("keys.ini", "key.KP5 = Up\nkey.Bogus = A\n");
    dir.write("tankbattle-001.png", "older");
    const bool ran = runUnderX(R"sh(
shots() { grep -c 'screenshot written' stderr.txt; }
taking_keys() {
  [ "$(date +%s)" = "${pressed:-}" ] || { xdotool key F12; pressed=$(date +%s); }
  [ "$(shots)" -gt 0 ]
}
more_shots_than() { [ "$(shots)" -gt "$1" ]; }
start --window --mute --data data --config keys.ini --record rec.txt --screenshot last.png 2>stderr.txt ||
  fail "no window"
xdotool windowfocus --sync "$wid"
within_a_minute taking_keys || fail "no first screenshot"
echo "# edited while playing" >> keys.ini
n=$(shots)
for key in Up KP_5 KP_End Right KP_Enter w d space Control_R 6 j minus F12; do xdotool key $key; done
within_a_minute more_shots_than "$n" || fail "no second screenshot"
xdotool key Escape
wait $pid
echo "status=$?" > result.txt
)sh",
                               "1024x768", "");
    if (!ran) GTEST_SKIP() << "xvfb-run or xdotool not installed";

    // The window, titled "tankbattle", opened and the game ended normally on Escape; the
    // settings file's bad line was named.
    const std::string stderrText = readText(dir / "stderr.txt");
    EXPECT_EQ(readText(dir / "result.txt"), "status=0\n") << stderrText;
    EXPECT_NE(stderrText.find("keys.ini:2: no game key"), std::string::npos) << stderrText;
    // The volume turned down in the game is kept in the file as it was at exit, all its lines kept.
    EXPECT_EQ(readText(dir / "keys.ini"), "key.KP5 = Up\nkey.Bogus = A\n# edited while playing\nvolume = 90\n");

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

    // F12 and --screenshot wrote PNG pictures; the older screenshot was kept.
    EXPECT_EQ(readText(dir / "tankbattle-001.png"), "older");
    for (const char* name : {"tankbattle-002.png", "last.png"})
        EXPECT_EQ(readText(dir / name).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
}

// Without a window manager, full screen fills the screen and Alt+Enter switches
// to the window and back; a replay played with a pause in it, and with the
// window hidden and shown again (which pauses the game while it lasts), records
// the same keys in the same passes.
TEST_F(DesktopWindowTest, FullScreenFillsTheScreenAndAPauseChangesNoPass) {
    const std::string replay = "tankbattle-replay 1\n1 1 2 6 KP5\n40 Right W\n200 P O\n290 KP4 Space\n";
    dir.write("in.replay", replay);
    const bool ran = runUnderX(R"sh(
filled() { window && xdotool getwindowgeometry "$wid" > geometry.txt; grep -q 'Geometry: 800x600' geometry.txt; }
windowed() { xdotool getwindowgeometry "$wid" > windowed.txt; grep -q 'Geometry: 640x480' windowed.txt; }
export TANKBATTLE_TIMING=1
start --mute --data "$data" --replay in.replay --record out.replay --frames 600 2>err.txt || fail "no window"
within_a_minute filled
xdotool key alt+Return
within_a_minute windowed || fail "still full screen after Alt+Enter"
xdotool key alt+Return
within_a_minute filled || fail "not full screen again after Alt+Enter"
xdotool key Pause
sleep 1  # the pause itself, as a player would hold it
xdotool key Pause
xdotool windowunmap --sync "$wid"
sleep 0.5
xdotool windowmap --sync "$wid"
ended() { ! kill -0 $pid 2>/dev/null; }
within_a_minute ended || fail "still paused after the window was shown again"
wait $pid
echo "status=$?" > result.txt
)sh",
                               "800x600", TANKBATTLE_GENERATED_DATA);
    if (!ran) GTEST_SKIP() << "xvfb-run or xdotool not installed";
    EXPECT_EQ(readText(dir / "result.txt"), "status=0\n") << readText(dir / "err.txt");
    const std::string geometry = readText(dir / "geometry.txt");
    EXPECT_TRUE(geometry.find("Position: 0,0") != std::string::npos &&
                geometry.find("Geometry: 800x600") != std::string::npos)
        << geometry;
    EXPECT_EQ(readText(dir / "out.replay"), replay);
    // Switched there and back, full screen is no change to keep: no settings file is written.
    EXPECT_FALSE(fs::exists(dir / ".config/tankbattle/settings.ini"));
    // The timing report leaves the paused time (at least the second held) out of the rate.
    const std::string report = readText(dir / "err.txt");
    double played = 0, paused = 0;
    const std::size_t at = report.find("600 passes in");
    ASSERT_NE(at, std::string::npos) << report;
    ASSERT_EQ(
        std::sscanf(report.c_str() + at, "600 passes in %lf s of play (%*f passes/s; %lf s paused", &played, &paused),
        2)
        << report;
    EXPECT_GE(paused, 1.0) << report;
    EXPECT_GE(played, 9.5) << report;  // 600 passes at 60 a second take 10 s
}

// The message names the display the environment names when that cannot be opened.
// Settings are read (and written on request) before the display is looked for, so
// a missing settings file named with --config is seen here too: said once, or
// created by --save-settings.
TEST_F(DesktopWindowTest, WithoutADisplayTheGameSaysSoAndExitsWithOne) {
    const struct {
        std::string environment, arguments, said, notSaid;
    } cases[] = {{"", "", "--headless", "settings"},
                 {"DISPLAY=:59999", "", "the display \":59999\" (DISPLAY) cannot be opened", "desktop session"},
                 {"", "--config missing.ini", "missing.ini: no such settings file", "written"},
                 {"", "--config made.ini --save-settings", "settings written to made.ini", "no such"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.environment + " " + c.arguments);
        EXPECT_EQ(tbtest::run("cd '" + dir.path().string() +
                              "' && env -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME=. " +
                              c.environment + " '" TANKBATTLE_EXECUTABLE "' --window --mute --data data --frames 5 " +
                              c.arguments + " 2>err.txt"),
                  1);
        const std::string message = readText(dir / "err.txt");
        EXPECT_NE(message.find("no display"), std::string::npos) << message;
        EXPECT_NE(message.find(c.said), std::string::npos) << message;
        EXPECT_EQ(message.find(c.said), message.rfind(c.said)) << message;
        EXPECT_EQ(message.find(c.notSaid), std::string::npos) << message;
    }
    EXPECT_FALSE(fs::exists(dir / "missing.ini"));
    EXPECT_NE(readText(dir / "made.ini").find("\nfullscreen = no\n"), std::string::npos);
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
