// The files around the desktop game: finding the data directory (--data, then
// TANKBATTLE_DATA, the current directory, beside the executable, the installed
// places) with a message naming the missing file, the places tried and what to do;
// and the settings file (every line on its own, a bad one named with file and
// line; bindings; writing that replaces the file whole).
#include <SDL.h>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "platform/datadir.h"
#include "platform/keyboard.h"
#include "platform/sdl/keymap.h"
#include "platform/sdl/settings.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::DataSearch;
namespace sdl = platform::sdl;
namespace vk = platform::vk;

class DesktopDataDirTest : public ::testing::Test {
protected:
    tbtest::ScratchDir root{"datadir"};
    fs::path oldCwd = fs::current_path();
    std::optional<std::string> oldEnv;

    void SetUp() override {
        for (const char* dir : {"empty", "full", "other"}) fs::create_directories(root / dir);
        for (const std::string& name : platform::dataFileNames()) {
            root.write("full/" + name, "x");
            root.write("other/" + name, "x");
        }
        if (const char* env = std::getenv("TANKBATTLE_DATA")) oldEnv = env;
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        oldEnv ? ::setenv("TANKBATTLE_DATA", oldEnv->c_str(), 1) : ::unsetenv("TANKBATTLE_DATA");
    }
};

TEST_F(DesktopDataDirTest, TheFirstSourceThatIsGivenOrHoldsTheModelWins) {
    // explicitDir, env, cwd: below root, empty for none; expectDir: below root, "." for the
    // current directory, empty for none. --data wins over everything, even without the files;
    // the environment wins over the current directory, which counts when it holds Tank.ddo.
    // clang-format off
    const struct { std::string explicitDir, env, cwd, expectDir; } cases[] = {{"other", "full", "full", "other"},
        {"empty", "full", "full", "empty"}, {"", "other", "full", "other"}, {"", "", "full", "."}, {"", "", "empty", ""}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.explicitDir + "|" + c.env + "|" + c.cwd);
        fs::current_path(root / c.cwd);
        c.env.empty() ? ::unsetenv("TANKBATTLE_DATA") : ::setenv("TANKBATTLE_DATA", (root / c.env).c_str(), 1);
        const DataSearch search =
            platform::findDataDirectory(c.explicitDir.empty() ? "" : (root / c.explicitDir).string(), "tankbattle");
        ASSERT_FALSE(search.tried.empty());
        if (c.expectDir == ".") {
            EXPECT_EQ(search.directory, ".");
        } else if (!c.expectDir.empty()) {
            EXPECT_EQ(search.directory, (root / c.expectDir).string());
            EXPECT_EQ(search.tried, std::vector<std::string>{search.directory});
        } else {
            // Each place once: here, beside the executable (the test program), ..., the installed place.
            const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
            ASSERT_GE(search.tried.size(), 3u);
            EXPECT_EQ(std::pair(search.tried[0], search.tried[1]),
                      std::pair(std::string("."), (self / "data").string()));
            EXPECT_NE(search.tried.back().find("/tankbattle"), std::string::npos);
            for (std::size_t i = 0; i < search.tried.size(); ++i)
                for (std::size_t j = i + 1; j < search.tried.size(); ++j) EXPECT_NE(search.tried[i], search.tried[j]);
            EXPECT_NE(search.directory, ".");  // found only if this machine has the game installed
        }
    }
}

TEST_F(DesktopDataDirTest, AnInstalledGameFindsItsDataWhereverItIsStarted) {
    // The program's directory and where its installation keeps the data: Debian's
    // games, an installation under any prefix, a build tree.
    // clang-format off
    const std::pair<std::string, std::string> layouts[] = {{"usr/games", "usr/share/games/tankbattle"},
        {"opt/tb/bin", "opt/tb/share/tankbattle"}, {"build", "build/data"}};
    // clang-format on
    ::unsetenv("TANKBATTLE_DATA");
    fs::current_path(root / "empty");
    for (const auto& [program, data] : layouts) {
        fs::create_directories(root / program);
        fs::create_directories(root / data);
        root.write(data + "/Tank.ddo", "x");
        EXPECT_EQ(platform::findDataDirectoryFrom("", (root / program).string()).directory, (root / data).string())
            << program;
    }
}

TEST_F(DesktopDataDirTest, AMissingFileIsNamedWithThePlacesTriedAndWhatToDo) {
    const std::string full = (root / "full").string();
    for (const std::string removed : {"", "Tank.ddo", "tex2.bmp", "bumm.wav"}) {
        if (!removed.empty()) fs::remove(root / ("full/" + removed));
        std::string error;
        EXPECT_EQ(platform::checkDataFiles(DataSearch{full, {full}}, error), removed.empty()) << removed;
        if (!removed.empty()) {
            EXPECT_NE(error.find("\"" + removed + "\""), std::string::npos) << error;
            EXPECT_NE(error.find(full), std::string::npos) << error;
            EXPECT_NE(error.find("--data"), std::string::npos) << error;
            root.write("full/" + removed, "x");
        }
    }
    std::string error;
    EXPECT_FALSE(platform::checkDataFiles(DataSearch{"", {".", "/somewhere/else"}}, error));
    EXPECT_NE(error.find("/somewhere/else"), std::string::npos) << error;
    EXPECT_NE(error.find("TANKBATTLE_DATA"), std::string::npos) << error;
}

TEST(DesktopSettings, GoodLinesApplyAndEachBadLineIsNamedAndSkipped) {
    const char* text =
        "# comment\n"
        "fullscreen = no\n"
        "volume = 40\n"
        "volume = 101\n"  // 4: out of range, 40 stays
        "  integer-scale=yes  \n"
        "mute = maybe\n"  // 6
        "key.KP5 = Up, Keypad 8\n"
        "key.Pause = P\n"
        "key.Warp = A\n"       // 9: no such game key
        "key.W = Up, Nokey\n"  // 10: the whole line is skipped
        "pad.Fire = b, lefttrigger\n"
        "pad.Faster = leftx\n"  // 12: a stick needs its direction
        "first-pad = 2\n"
        "just words\n"        // 14
        "scale = \x01\xff\n"  // 15
        "volume =\n"          // 16: not a number
        "volume = 5x\n";      // 17
    sdl::Settings s;
    std::vector<std::string> problems;
    sdl::parseSettings(text, "s.ini", s, problems);
    std::vector<std::string> where;
    for (const std::string& p : problems) where.push_back(p.substr(0, p.find(':', 6)));
    EXPECT_EQ(where, (std::vector<std::string>{"s.ini:4", "s.ini:6", "s.ini:9", "s.ini:10", "s.ini:12", "s.ini:14",
                                               "s.ini:15", "s.ini:16", "s.ini:17"}));
    EXPECT_NE(problems[3].find("no key is called \"Nokey\""), std::string::npos) << problems[3];
    EXPECT_NE(problems[6].find("\"??\""), std::string::npos) << problems[6];
    EXPECT_EQ(std::tuple(s.fullscreen, s.integerScale, s.mute, s.volume, s.firstPadPlayer),
              std::tuple(false, true, false, 40, 2));
    EXPECT_EQ(sdl::padControls(s, sdl::PadAction::Fire),
              (std::vector<sdl::PadControl>{{false, SDL_CONTROLLER_BUTTON_B, 1},
                                            {true, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 1}}));
    EXPECT_EQ(sdl::padControls(s, sdl::PadAction::Faster).size(), 2u);  // the defaults

    // The bindings: Up and keypad 8 press KP5, keypad 5 no longer does; P pauses
    // and no longer hands tank 0 to the computer; other keys keep their meaning.
    sdl::KeyBindings bindings;
    for (const auto& [key, action] : s.keys) bindings.bind(key, action);
    // clang-format off
    const std::pair<SDL_Scancode, int> expected[] = {{SDL_SCANCODE_UP, vk::Numpad5}, {SDL_SCANCODE_KP_8, vk::Numpad5},
        {SDL_SCANCODE_KP_5, 0}, {SDL_SCANCODE_P, sdl::kPause}, {SDL_SCANCODE_PAUSE, 0}, {SDL_SCANCODE_K, 0},
        {SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_F12, sdl::kScreenshot}};
    // clang-format on
    for (const auto& [key, action] : expected)
        EXPECT_EQ(bindings.actionFor(key, SDL_GetKeyFromScancode(key)), action) << SDL_GetScancodeName(key);
}

TEST(DesktopSettings, WrittenSettingsReadBackTheSameAndReplaceTheFileWhole) {
    tbtest::ScratchDir dir{"settings"};
    sdl::Settings s;
    std::vector<std::string> problems;
    sdl::parseSettings(
        "fullscreen = no\nvolume = 0\nmute = yes\nscale = 3\nkey.Space = Left Ctrl, Return\n"
        "key.VolumeUp = F3\npad.Computer = x\npad.TurnLeft = rightx-, dpleft\n",
        "in", s, problems);
    ASSERT_TRUE(problems.empty()) << problems[0];
    const std::string path = (dir / "new/tankbattle/settings.ini").string();  // directories are made
    dir.write("new", "");  // ... unless a file is in the way: then nothing is written
    std::string error;
    EXPECT_FALSE(sdl::saveSettings(path, s, error));
    EXPECT_NE(error.find(path), std::string::npos);
    std::filesystem::remove(dir / "new");
    dir.write("old.ini", "volume = 5\n");
    for (const std::string& target : {path, (dir / "old.ini").string()}) {
        ASSERT_TRUE(sdl::saveSettings(target, s, error)) << error;
        sdl::Settings again;
        sdl::loadSettings(target, again, problems);
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(sdl::formatSettings(again) + tbtest::readText(target),
                  sdl::formatSettings(s) + sdl::formatSettings(s));
    }
    EXPECT_NE(sdl::formatSettings(s).find("key.Space = Left Ctrl, Return\n"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporary left
}

}  // namespace
