// The settings file: every line on its own (a bad one is named with file and
// line and costs only itself), bindings that take a game key from its usual
// keys, and writing that replaces the file whole.
#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/sdl/keymap.h"
#include "platform/sdl/settings.h"
#include "test_support.h"

namespace {

namespace sdl = platform::sdl;
namespace vk = platform::vk;

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
        "just words\n"         // 14
        "scale = \x01\xff\n";  // 15
    sdl::Settings s;
    std::vector<std::string> problems;
    sdl::parseSettings(text, "s.ini", s, problems);
    std::vector<std::string> where;
    for (const std::string& p : problems) where.push_back(p.substr(0, p.find(':', 6)));
    EXPECT_EQ(where, (std::vector<std::string>{"s.ini:4", "s.ini:6", "s.ini:9", "s.ini:10", "s.ini:12", "s.ini:14",
                                               "s.ini:15"}));
    EXPECT_NE(problems[3].find("no key is called \"Nokey\""), std::string::npos) << problems[3];
    EXPECT_NE(problems[6].find("\"??\""), std::string::npos) << problems[6];
    EXPECT_FALSE(s.fullscreen);
    EXPECT_TRUE(s.integerScale);
    EXPECT_FALSE(s.mute);
    EXPECT_EQ(s.volume, 40);
    EXPECT_EQ(s.firstPadPlayer, 2);
    EXPECT_EQ(sdl::padControls(s, sdl::PadAction::Fire),
              (std::vector<sdl::PadControl>{{false, SDL_CONTROLLER_BUTTON_B, 1},
                                            {true, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 1}}));
    EXPECT_EQ(sdl::padControls(s, sdl::PadAction::Faster).size(), 2u);  // the defaults

    // The bindings: Up and keypad 8 press KP5, keypad 5 no longer does; P pauses
    // and no longer hands tank 0 to the computer; other keys keep their meaning.
    sdl::KeyBindings bindings;
    for (const auto& [key, action] : s.keys) bindings.bind(key, action);
    const std::pair<SDL_Scancode, int> expected[] = {
        {SDL_SCANCODE_UP, vk::Numpad5}, {SDL_SCANCODE_KP_8, vk::Numpad5},
        {SDL_SCANCODE_KP_5, 0},         {SDL_SCANCODE_P, sdl::kPause},
        {SDL_SCANCODE_PAUSE, 0},        {SDL_SCANCODE_K, 0},
        {SDL_SCANCODE_W, 'W'},          {SDL_SCANCODE_F12, sdl::kScreenshot}};
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
        EXPECT_EQ(sdl::formatSettings(again), sdl::formatSettings(s));
        EXPECT_EQ(tbtest::readText(target), sdl::formatSettings(s));
    }
    EXPECT_NE(sdl::formatSettings(s).find("key.Space = Left Ctrl, Return\n"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporary left
}

}  // namespace
