// The files around the desktop game: finding the data directory (--data, then
// TANKBATTLE_DATA, the current directory, beside the executable, the installed
// places) with a message naming the missing file, the places tried and what to do;
// and the settings file (every line on its own, a bad one named with file and
// line; bindings; writing that replaces the file whole).
#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

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
    // Line 1 starts with a UTF-8 byte-order mark, as some editors write.
    const char* text =
        "\xEF\xBB\xBF"
        "fullscreen = no\n"
        "# comment\n"
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
        "volume = 5x\n"       // 17
        "key.Screenshot =\n"  // no key takes a screenshot
        "pad.Computer =\n";   // no pad control hands a tank to the computer
    sdl::Settings s;
    std::vector<std::string> problems;
    sdl::parseSettings(text, "s.ini", s, problems);
    std::vector<std::string> where;
    for (const std::string& p : problems) where.push_back(p.substr(0, p.find(':', 6)));
    EXPECT_EQ(where, (std::vector<std::string>{"s.ini:4", "s.ini:6", "s.ini:9", "s.ini:10", "s.ini:12", "s.ini:14",
                                               "s.ini:15", "s.ini:16", "s.ini:17"}));
    EXPECT_NE(problems[3].find("no key is called \"Nokey\""), std::string::npos) << problems[3];
    EXPECT_NE(problems[6].find("\"\\x01\\xFF\""), std::string::npos) << problems[6];
    EXPECT_EQ(std::tuple(s.fullscreen, s.integerScale, s.mute, s.volume, s.firstPadPlayer),
              std::tuple(false, true, false, 40, 2));
    EXPECT_EQ(sdl::padControls(s, sdl::PadAction::Fire),
              (std::vector<sdl::PadControl>{{false, SDL_CONTROLLER_BUTTON_B, 1},
                                            {true, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 1}}));
    EXPECT_EQ(sdl::padControls(s, sdl::PadAction::Faster).size(), 2u);  // the defaults
    EXPECT_TRUE(sdl::padControls(s, sdl::PadAction::Computer).empty());

    // The bindings: Up and keypad 8 press KP5, keypad 5 no longer does; P pauses
    // and no longer hands tank 0 to the computer; F12 does nothing; other keys keep
    // their meaning.
    sdl::KeyBindings bindings;
    for (const auto& [key, action] : s.keys) bindings.bind(key, action);
    // clang-format off
    const std::pair<SDL_Scancode, int> expected[] = {{SDL_SCANCODE_UP, vk::Numpad5}, {SDL_SCANCODE_KP_8, vk::Numpad5},
        {SDL_SCANCODE_KP_5, 0}, {SDL_SCANCODE_P, sdl::kPause}, {SDL_SCANCODE_PAUSE, 0}, {SDL_SCANCODE_K, 0},
        {SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_F12, 0}, {SDL_SCANCODE_UNKNOWN, 0}, {SDL_SCANCODE_F9, sdl::kMute}};
    // clang-format on
    for (const auto& [key, action] : expected)
        EXPECT_EQ(bindings.actionFor(key, SDL_GetKeyFromScancode(key)), action) << SDL_GetScancodeName(key);
}

TEST(DesktopSettings, MessagesStayFewAndPrintable) {
    // Random bytes: a line of them seldom holds "=", and a name made of them is escaped.
    std::string noise;
    tbtest::Lcg lcg{7};
    for (int i = 0; i < 100000; ++i) noise += char(lcg.next() & 0xFF);
    auto repeated = [](const std::string& line, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += line;
        return text;
    };
    // text, messages expected, the last message's end
    const struct {
        std::string text;
        std::size_t messages;
        std::string last;
    } cases[] = {
        {"# fine\n" + repeated("x = 1\n", 10), 10, "s.ini:11: unknown setting \"x\"; line ignored"},
        {repeated("x = 1\n", 11), 11, "s.ini: 1 more bad line ignored"},
        {"x = 1\n" + repeated("volume = loud\n", 60000), 11, "s.ini: 59991 more bad lines ignored"},
        {"\xEF\xBB\xBF\xEF\xBB\xBFvolume = 1\n", 1, "s.ini:1: unknown setting \"\\xEF\\xBB\\xBFvolume\"; line ignored"},
        {noise, 11, "more bad lines ignored"}};
    for (const auto& c : cases) {
        sdl::Settings s;
        std::vector<std::string> problems;
        sdl::parseSettings(c.text, "s.ini", s, problems);
        ASSERT_EQ(problems.size(), c.messages) << c.text.substr(0, 40);
        const std::string& last = problems.back();
        EXPECT_EQ(last.substr(last.size() - std::min(last.size(), c.last.size())), c.last);
        for (const std::string& p : problems)
            EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](char b) { return b >= 0x20 && b < 0x7F; })) << p;
    }
}

TEST(DesktopSettings, RewritingKeepsThePlayersLinesAndChangesOnlyWhatChanged) {
    using Change = void (*)(sdl::Settings&);
    const Change louder = [](sdl::Settings& s) { s.volume = 60; };
    const Change muted = [](sdl::Settings& s) { s.mute = true; };
    const Change downForKP5 = [](sdl::Settings& s) {
        std::erase_if(s.keys, [](const auto& k) { return k.second == vk::Numpad5; });
        s.keys.emplace_back(SDL_SCANCODE_DOWN, vk::Numpad5);
    };
    const Change usualKP5 = [](sdl::Settings& s) {
        std::erase_if(s.keys, [](const auto& k) { return k.second == vk::Numpad5; });
    };
    const Change noKP5 = [](sdl::Settings& s) {
        std::erase_if(s.keys, [](const auto& k) { return k.second == vk::Numpad5; });
        s.keys.emplace_back(SDL_SCANCODE_UNKNOWN, vk::Numpad5);
    };
    const Change padX = [](sdl::Settings& s) { s.pad = {{{false, SDL_CONTROLLER_BUTTON_X, 1}, sdl::PadAction::Fire}}; };
    // clang-format off
    const struct { std::string before; Change change; std::string after; } cases[] = {
        // Comments, blank lines and order stay; only the changed value does not.
        {"# mine\nvolume = 40\n\n# keys\nkey.KP5 = Up\nfullscreen = no\n", louder,
         "# mine\nvolume = 60\n\n# keys\nkey.KP5 = Up\nfullscreen = no\n"},
        // The line's own spacing and line end, and a byte-order mark, stay.
        {"\xEF\xBB\xBF  volume=40  \r\nmute = no\r\n", louder, "\xEF\xBB\xBF  volume=60  \r\nmute = no\r\n"},
        {"volume =\n", louder, "volume = 60\n"},
        // The last line of a setting is the one that counts.
        {"volume = 40\nvolume = 101\n", louder, "volume = 40\nvolume = 60\n"},
        // A bad line of an unchanged setting stays; a setting the file lacks is appended,
        // after a newline the file's last line lacked, and in the file's own line ends.
        {"volume = loud", muted, "volume = loud\nmute = yes\n"},
        {"volume = loud", louder, "volume = 60"},
        {"# mine\r\n", muted, "# mine\r\nmute = yes\r\n"},
        {"mute = no\nmute=yes", muted, "mute = no\nmute=yes"},
        // A binding changed is gathered on its first line; one dropped loses its lines.
        {"key.KP5 = Up\n# also\nkey.KP5 = Keypad 8\nkey.W = Left\n", downForKP5, "key.KP5 = Down\n# also\nkey.W = Left\n"},
        {"key.KP5 = Up\n# also\nkey.KP5 = Keypad 8\nkey.W = Left", usualKP5, "# also\nkey.W = Left"},
        {"key.KP5 = Up\n", noKP5, "key.KP5 =\n"},
        {"key.W = Left\n", noKP5, "key.W = Left\nkey.KP5 =\n"},
        {"pad.Fire = a, b\npad.Pause = back\n", padX, "pad.Fire = x\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        sdl::Settings s;
        std::vector<std::string> problems;
        sdl::parseSettings(c.before, "s.ini", s, problems);
        c.change(s);
        const std::string after = sdl::updateSettings(c.before, s);
        EXPECT_EQ(after, c.after);
        // The file read back gives the settings written (the bindings in any order).
        sdl::Settings again;
        sdl::parseSettings(after, "s.ini", again, problems);
        std::vector<std::string> read = tbtest::lines(sdl::formatSettings(again)),
                                 meant = tbtest::lines(sdl::formatSettings(s));
        std::sort(read.begin(), read.end()), std::sort(meant.begin(), meant.end());
        EXPECT_EQ(read, meant);
    }
    // With nothing to keep, every setting is written out.
    sdl::Settings s;
    muted(s);
    EXPECT_EQ(sdl::updateSettings("", s), sdl::formatSettings(s));
    EXPECT_NE(sdl::formatSettings(s).find("\nmute = yes\nfirst-pad = 1\n"), std::string::npos);
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
    // A new file is written whole; an old one keeps its comment, and keeps its
    // permissions; a link to it stays a link.
    dir.write("old.ini", "# mine\nvolume = 5\n");
    ::chmod((dir / "old.ini").c_str(), 0600);
    std::filesystem::create_symlink("old.ini", dir / "link.ini");
    for (const std::string& target : {path, (dir / "link.ini").string()}) {
        ASSERT_TRUE(sdl::saveSettings(target, s, error)) << error;
        sdl::Settings again;
        sdl::loadSettings(target, again, problems, true);
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(sdl::formatSettings(again), sdl::formatSettings(s));
    }
    EXPECT_EQ(tbtest::readText(path), sdl::formatSettings(s));
    EXPECT_EQ(tbtest::readText(dir / "old.ini"),
              "# mine\nvolume = 0\nfullscreen = no\nscale = 3\nmute = yes\nkey.Space = Left Ctrl, Return\n"
              "key.VolumeUp = F3\npad.TurnLeft = rightx-, dpleft\npad.Computer = x\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(std::filesystem::status(dir / "old.ini").permissions(), std::filesystem::perms(0600));
    EXPECT_NE(sdl::formatSettings(s).find("key.Space = Left Ctrl, Return\n"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no temporary left

    // A missing file named by the player is said once; the usual place may lack one.
    for (const bool named : {false, true}) {
        std::vector<std::string> said;
        sdl::loadSettings((dir / "none.ini").string(), s, said, named);
        ASSERT_EQ(said.size(), named ? 1u : 0u);
        if (named) {
            EXPECT_NE(said[0].find("none.ini: no such settings file"), std::string::npos) << said[0];
        }
    }
}

}  // namespace
