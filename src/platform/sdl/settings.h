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
//                               (none: no key presses it)
//   pad.Fire = a, righttrigger  a pad action; then SDL pad button or axis names,
//                               an axis with + or - for the direction pushed (none: no control)
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
// Stands in the bindings for "no control at all", as SDL_SCANCODE_UNKNOWN does for keys.
inline constexpr PadControl kNoPadControl{false, -1, 1};

struct Settings {
    bool fullscreen = true;
    bool integerScale = false;
    int scale = 1;
    int volume = 100;
    bool mute = false;
    int firstPadPlayer = 1;
    // Keys bound by the player: scan code and action (a virtual key or a Command, keymap.h).
    // An action listed here loses its usual keys; SDL_SCANCODE_UNKNOWN binds it to none.
    std::vector<std::pair<SDL_Scancode, int>> keys;
    // Pad controls bound by the player; an action listed here loses its default controls,
    // and kNoPadControl binds it to none.
    std::vector<std::pair<PadControl, PadAction>> pad;
};

// The pad controls of an action: the player's when bound, else the defaults.
std::vector<PadControl> padControls(const Settings& settings, PadAction action);

// $XDG_CONFIG_HOME/tankbattle/settings.ini, else ~/.config/tankbattle/settings.ini;
// empty when neither variable is set.
std::string defaultSettingsPath();

// Bad lines beyond these many get no message of their own, only a count.
inline constexpr int kShownProblems = 10;

// Reads settings text over `settings`, skipping a UTF-8 byte-order mark at the
// start. Every line it cannot use is skipped; the first kShownProblems of them
// give one message each, "NAME:LINE: reason", in `problems`, and one more
// message counts the rest.
void parseSettings(const std::string& text, const std::string& name, Settings& settings,
                   std::vector<std::string>& problems);
// Reads the file when it exists. A missing file is a problem only when `mustExist`
// (the player named it); then the usual settings apply.
void loadSettings(const std::string& path, Settings& settings, std::vector<std::string>& problems,
                  bool mustExist = false);
// A whole new settings file, every setting written out.
std::string formatSettings(const Settings& settings);
// The player's settings text changed to give `settings`: comments, blank lines,
// bad lines and the order all stay, only lines whose value changed are rewritten
// (a binding changed anywhere is gathered on its first line, a binding dropped
// loses its lines), and settings the text does not mention are appended.
// Empty text gives formatSettings.
std::string updateSettings(const std::string& text, const Settings& settings);
// Updates the file (updateSettings; a new file is written whole) by writing a
// temporary file beside it and renaming it over it, so the file is always either
// the old one or the new one whole; through a symbolic link, the link's target.
// A file that exists but cannot be read is left alone. False with the reason on failure.
bool saveSettings(const std::string& path, const Settings& settings, std::string& error);

}  // namespace platform::sdl
