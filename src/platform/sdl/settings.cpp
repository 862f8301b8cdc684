// Reading and writing the settings file: one "name = value" a line, every line
// checked on its own, so one bad line costs only itself.
#include "platform/sdl/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/keyboard.h"
#include "platform/sdl/keymap.h"
#include "platform/stream.h"

namespace platform::sdl {
namespace {

struct Named {
    const char* name;
    int action;
};
constexpr Named kCommands[] = {{"Pause", kPause},
                               {"Screenshot", kScreenshot},
                               {"VolumeDown", kVolumeDown},
                               {"VolumeUp", kVolumeUp},
                               {"Mute", kMute}};
constexpr const char* kPadActionNames[kPadActions] = {"Faster",      "Slower", "TurnLeft", "TurnRight", "TurretLeft",
                                                      "TurretRight", "Fire",   "Computer", "Pause"};

// The defaults: d-pad and left stick drive, shoulders and right stick turn the
// turret, A or the right trigger fires, Y hands the tank to the computer, Start pauses.
std::vector<PadControl> defaultPadControls(PadAction action) {
    auto button = [](SDL_GameControllerButton b) { return PadControl{false, b, 1}; };
    auto axis = [](SDL_GameControllerAxis a, int sign) { return PadControl{true, a, sign}; };
    switch (action) {
        case PadAction::Faster: return {button(SDL_CONTROLLER_BUTTON_DPAD_UP), axis(SDL_CONTROLLER_AXIS_LEFTY, -1)};
        case PadAction::Slower: return {button(SDL_CONTROLLER_BUTTON_DPAD_DOWN), axis(SDL_CONTROLLER_AXIS_LEFTY, 1)};
        case PadAction::TurnLeft: return {button(SDL_CONTROLLER_BUTTON_DPAD_LEFT), axis(SDL_CONTROLLER_AXIS_LEFTX, -1)};
        case PadAction::TurnRight:
            return {button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT), axis(SDL_CONTROLLER_AXIS_LEFTX, 1)};
        case PadAction::TurretLeft:
            return {button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER), axis(SDL_CONTROLLER_AXIS_RIGHTX, -1)};
        case PadAction::TurretRight:
            return {button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER), axis(SDL_CONTROLLER_AXIS_RIGHTX, 1)};
        case PadAction::Fire: return {button(SDL_CONTROLLER_BUTTON_A), axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 1)};
        case PadAction::Computer: return {button(SDL_CONTROLLER_BUTTON_Y)};
        case PadAction::Pause: return {button(SDL_CONTROLLER_BUTTON_START)};
    }
    return {};
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A word of the file as it goes into a message: short, and printable.
std::string quoted(const std::string& word) {
    std::string out = "\"";
    for (std::size_t i = 0; i < word.size() && i < 40; ++i) out += word[i] >= 0x20 && word[i] < 0x7F ? word[i] : '?';
    return out + (word.size() > 40 ? "...\"" : "\"");
}

std::vector<std::string> splitList(const std::string& value) {
    std::vector<std::string> items;
    std::istringstream in(value);
    for (std::string item; std::getline(in, item, ',');) items.push_back(trim(item));
    if (!value.empty() && value.back() == ',') items.push_back("");
    return items;
}

bool parseYesNo(const std::string& v, bool& out) {
    for (const char* yes : {"yes", "true", "on", "1"})
        if (v == yes) return out = true, true;
    for (const char* no : {"no", "false", "off", "0"})
        if (v == no) return out = false, true;
    return false;
}

bool parseNumber(const std::string& v, int low, int high, int& out) {
    if (v.empty() || v.size() > 4 || v.find_first_not_of("0123456789") != std::string::npos) return false;
    const int n = std::atoi(v.c_str());
    if (n < low || n > high) return false;
    out = n;
    return true;
}

bool parsePadControl(const std::string& word, PadControl& control) {
    const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(word.c_str());
    if (button != SDL_CONTROLLER_BUTTON_INVALID && !word.empty()) {
        control = {false, button, 1};
        return true;
    }
    const char last = word.empty() ? 0 : word.back();
    const std::string name = last == '+' || last == '-' ? word.substr(0, word.size() - 1) : word;
    const SDL_GameControllerAxis axis = SDL_GameControllerGetAxisFromString(name.c_str());
    if (axis == SDL_CONTROLLER_AXIS_INVALID || name.empty()) return false;
    const bool trigger = axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    // A stick needs its direction; a trigger only goes one way.
    if (trigger ? last == '-' : name == word) return false;
    control = {true, axis, last == '-' ? -1 : 1};
    return true;
}

std::string padControlName(const PadControl& c) {
    if (!c.axis) return SDL_GameControllerGetStringForButton(SDL_GameControllerButton(c.index));
    const std::string name = SDL_GameControllerGetStringForAxis(SDL_GameControllerAxis(c.index));
    const bool trigger = c.index == SDL_CONTROLLER_AXIS_TRIGGERLEFT || c.index == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    return trigger ? name : name + (c.sign < 0 ? "-" : "+");
}

// Key names as SDL gives them, except the two with a comma, which separates a
// list's items: those are written "Comma" and "Keypad Comma".
SDL_Scancode keyNamed(const std::string& name) {
    if (SDL_strcasecmp(name.c_str(), "Comma") == 0) return SDL_SCANCODE_COMMA;
    if (SDL_strcasecmp(name.c_str(), "Keypad Comma") == 0) return SDL_SCANCODE_KP_COMMA;
    if (name.empty() || name.find(',') != std::string::npos) return SDL_SCANCODE_UNKNOWN;
    return SDL_GetScancodeFromName(name.c_str());
}

std::string keyName(SDL_Scancode key) {
    if (key == SDL_SCANCODE_COMMA) return "Comma";
    if (key == SDL_SCANCODE_KP_COMMA) return "Keypad Comma";
    return SDL_GetScancodeName(key);
}

int actionNamed(const std::string& name) {
    for (const GameKey& k : kGameKeys)
        if (name == k.name) return k.code;
    for (const Named& c : kCommands)
        if (name == c.name) return c.action;
    return 0;
}

const char* actionName(int action) {
    for (const GameKey& k : kGameKeys)
        if (action == k.code) return k.name;
    for (const Named& c : kCommands)
        if (action == c.action) return c.name;
    return "?";
}

// One "name = value" line applied to the settings, or the reason it cannot be.
std::string applyLine(const std::string& name, const std::string& value, Settings& s) {
    const struct {
        const char* name;
        bool Settings::*member;
    } flags[] = {
        {"fullscreen", &Settings::fullscreen}, {"integer-scale", &Settings::integerScale}, {"mute", &Settings::mute}};
    for (const auto& f : flags)
        if (name == f.name) return parseYesNo(value, s.*f.member) ? "" : "expected yes or no, not " + quoted(value);
    const struct {
        const char* name;
        int Settings::*member;
        int low, high;
    } numbers[] = {{"scale", &Settings::scale, 1, 4},
                   {"volume", &Settings::volume, 0, 100},
                   {"first-pad", &Settings::firstPadPlayer, 1, 2}};
    for (const auto& n : numbers)
        if (name == n.name)
            return parseNumber(value, n.low, n.high, s.*n.member)
                       ? ""
                       : "expected a whole number from " + std::to_string(n.low) + " to " + std::to_string(n.high) +
                             ", not " + quoted(value);
    if (name.rfind("key.", 0) == 0) {
        const int action = actionNamed(name.substr(4));
        if (!action) return "no game key or command is called " + quoted(name.substr(4));
        std::vector<SDL_Scancode> keys;
        for (const std::string& word : splitList(value)) {
            const SDL_Scancode key = keyNamed(word);
            if (key == SDL_SCANCODE_UNKNOWN) return "no key is called " + quoted(word);
            keys.push_back(key);
        }
        for (SDL_Scancode key : keys) s.keys.emplace_back(key, action);
        return "";
    }
    if (name.rfind("pad.", 0) == 0) {
        int action = -1;
        for (int a = 0; a < kPadActions; ++a)
            if (name.substr(4) == kPadActionNames[a]) action = a;
        if (action < 0) return "no pad action is called " + quoted(name.substr(4));
        std::vector<PadControl> controls;
        for (const std::string& word : splitList(value)) {
            PadControl c;
            if (!parsePadControl(word, c)) return "no pad button or axis is called " + quoted(word);
            controls.push_back(c);
        }
        for (const PadControl& c : controls) s.pad.emplace_back(c, PadAction(action));
        return "";
    }
    return "unknown setting " + quoted(name);
}

}  // namespace

std::vector<PadControl> padControls(const Settings& settings, PadAction action) {
    std::vector<PadControl> bound;
    for (const auto& [control, a] : settings.pad)
        if (a == action) bound.push_back(control);
    return bound.empty() ? defaultPadControls(action) : bound;
}

std::string defaultSettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/tankbattle/settings.ini";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/tankbattle/settings.ini";
    return {};
}

void parseSettings(const std::string& text, const std::string& name, Settings& settings,
                   std::vector<std::string>& problems) {
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        const std::string why = eq == std::string::npos
                                    ? "expected \"name = value\""
                                    : applyLine(trim(line.substr(0, eq)), trim(line.substr(eq + 1)), settings);
        if (!why.empty()) problems.push_back(name + ":" + std::to_string(number) + ": " + why + "; line ignored");
    }
}

void loadSettings(const std::string& path, Settings& settings, std::vector<std::string>& problems) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return;
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!readWholeFile(path, bytes, why, 1u << 20)) {
        problems.push_back(path + ": cannot read the settings (" + why + "); the usual settings apply");
        return;
    }
    parseSettings(std::string(bytes.begin(), bytes.end()), path, settings, problems);
}

std::string formatSettings(const Settings& s) {
    std::string out =
        "# tankbattle settings, read at start; see tankbattle --help.\n"
        "# key.NAME = keys: the keys (SDL scan code names, comma separated) that press a\n"
        "# game key (named as in replays) or Pause, Screenshot, VolumeDown, VolumeUp, Mute,\n"
        "# instead of its usual keys. pad.ACTION = buttons and axes (leftx-, righttrigger, ...)\n"
        "# for Faster Slower TurnLeft TurnRight TurretLeft TurretRight Fire Computer Pause.\n";
    auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    out += std::string("fullscreen = ") + yesNo(s.fullscreen) + "\ninteger-scale = " + yesNo(s.integerScale) +
           "\nscale = " + std::to_string(s.scale) + "\nvolume = " + std::to_string(s.volume) +
           "\nmute = " + yesNo(s.mute) + "\nfirst-pad = " + std::to_string(s.firstPadPlayer) + "\n";
    std::vector<int> actions;
    for (const auto& [key, action] : s.keys)
        if (std::find(actions.begin(), actions.end(), action) == actions.end()) actions.push_back(action);
    for (int action : actions) {
        std::string keys;
        for (const auto& [key, a] : s.keys)
            if (a == action) keys += (keys.empty() ? "" : ", ") + keyName(key);
        out += std::string("key.") + actionName(action) + " = " + keys + "\n";
    }
    for (int a = 0; a < kPadActions; ++a) {
        std::string controls;
        for (const auto& [control, action] : s.pad)
            if (int(action) == a) controls += (controls.empty() ? "" : ", ") + padControlName(control);
        if (!controls.empty()) out += std::string("pad.") + kPadActionNames[a] + " = " + controls + "\n";
    }
    return out;
}

bool saveSettings(const std::string& path, const Settings& settings, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    const std::string temporary = path + ".new" + std::to_string(::getpid());
    const std::string text = formatSettings(settings);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = fd >= 0 && ::fsync(fd) == 0 && ok;
    if (fd >= 0) ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = path + ": cannot write the settings" + (fd < 0 ? " (is the directory writable?)" : "");
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace platform::sdl
