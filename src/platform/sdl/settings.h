// The player's settings file: key and pad bindings, window or full screen,
// scaling, volume. Read at start, where a line it cannot read is reported with
// file and line and skipped; written only on request, atomically.
//
//   # comment
//   fullscreen = yes            window: no
//   integer-scale = no
//   scale = 1                   1 to 4
//   volume = 100                0 to 100
//   mute = no
//   first-pad = 1               the player the first pad drives (2: player 1 keeps the keyboard)
//   key.KP5 = Up, Keypad 8      a game key (named as in replays) or Pause, Screenshot,
//                               VolumeDown, VolumeUp, Mute; then SDL scan code names
//   pad.Fire = a, righttrigger  a pad action; then SDL pad button or axis names,
//                               an axis with + or - for the direction pushed
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

namespace platform::sdl {

// What a player does with a pad; the same for both players, who get different game keys.
enum class PadAction { Faster, Slower, TurnLeft, TurnRight, TurretLeft, TurretRight, Fire, Computer, Pause };
inline constexpr int kPadActions = 9;

// A pad's button, or an axis pushed one way.
struct PadControl {
    bool axis = false;
    int index = 0;  // SDL_GameControllerButton or SDL_GameControllerAxis
    int sign = 1;   // the direction an axis is pushed: +1 or -1
    bool operator==(const PadControl&) const = default;
};

struct Settings {
    bool fullscreen = true;
    bool integerScale = false;
    int scale = 1;
    int volume = 100;
    bool mute = false;
    int firstPadPlayer = 1;
    // Keys bound by the player: scan code and action (a virtual key or a Command, keymap.h).
    std::vector<std::pair<SDL_Scancode, int>> keys;
    // Pad controls bound by the player; an action listed here loses its default controls.
    std::vector<std::pair<PadControl, PadAction>> pad;
};

// The pad controls of an action: the player's when bound, else the defaults.
std::vector<PadControl> padControls(const Settings& settings, PadAction action);

// $XDG_CONFIG_HOME/tankbattle/settings.ini, else ~/.config/tankbattle/settings.ini;
// empty when neither variable is set.
std::string defaultSettingsPath();

// Reads settings text over `settings`; every line it cannot use gives one message
// "NAME:LINE: reason" in `problems` and is skipped.
void parseSettings(const std::string& text, const std::string& name, Settings& settings,
                   std::vector<std::string>& problems);
// Reads the file when it exists (a missing file is no problem).
void loadSettings(const std::string& path, Settings& settings, std::vector<std::string>& problems);
std::string formatSettings(const Settings& settings);
// Writes a temporary file beside `path` and renames it over `path`, so the file is
// always either the old one or the new one whole. False with the reason on failure.
bool saveSettings(const std::string& path, const Settings& settings, std::string& error);

}  // namespace platform::sdl
