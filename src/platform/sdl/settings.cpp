// Reading and writing the settings file: one "name = value" a line, every line
// checked on its own, so one bad line costs only itself.
#include "platform/sdl/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
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
constexpr Named kCommands[] = {
    {"Pause", kPause}, {"Screenshot", kScreenshot},      {"VolumeDown", kVolumeDown}, {"VolumeUp", kVolumeUp},
    {"Mute", kMute},   {"OnlineFigures", kOnlineFigures}};
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

// A word of the file as it goes into a message: short, and printable; other
// bytes (and the backslash) are written as escapes, so random bytes read as such.
std::string quoted(const std::string& word) {
    std::string out = "\"";
    for (std::size_t i = 0; i < word.size() && i < 40; ++i) {
        const auto c = static_cast<unsigned char>(word[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
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
        // An empty list leaves the action bound to no key at all.
        if (keys.empty()) keys.push_back(SDL_SCANCODE_UNKNOWN);
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
        if (controls.empty()) controls.push_back(kNoPadControl);
        for (const PadControl& c : controls) s.pad.emplace_back(c, PadAction(action));
        return "";
    }
    return "unknown setting " + quoted(name);
}

// The value of a key binding as the file writes it, or nothing when the
// settings leave the action to its usual keys.
std::optional<std::string> keyList(const Settings& s, int action) {
    std::optional<std::string> list;
    for (const auto& [key, a] : s.keys) {
        if (a != action) continue;
        if (!list) list.emplace();
        if (key != SDL_SCANCODE_UNKNOWN) *list += (list->empty() ? "" : ", ") + keyName(key);
    }
    return list;
}

std::optional<std::string> padList(const Settings& s, int action) {
    std::optional<std::string> list;
    for (const auto& [control, a] : s.pad) {
        if (int(a) != action) continue;
        if (!list) list.emplace();
        if (!(control == kNoPadControl)) *list += (list->empty() ? "" : ", ") + padControlName(control);
    }
    return list;
}

struct SettingLine {
    std::string name, value;
    bool list;  // a binding, which one line holds whole; a setting of one value is kept on its last line
};

// Every setting as the file writes it, in the file's order: the single values,
// then the keys in the order first bound, then the pad actions.
std::vector<SettingLine> settingLines(const Settings& s) {
    auto yesNo = [](bool b) { return std::string(b ? "yes" : "no"); };
    std::vector<SettingLine> lines = {{"fullscreen", yesNo(s.fullscreen), false},
                                      {"integer-scale", yesNo(s.integerScale), false},
                                      {"scale", std::to_string(s.scale), false},
                                      {"volume", std::to_string(s.volume), false},
                                      {"mute", yesNo(s.mute), false},
                                      {"first-pad", std::to_string(s.firstPadPlayer), false}};
    std::vector<int> actions;
    for (const auto& [key, action] : s.keys)
        if (std::find(actions.begin(), actions.end(), action) == actions.end()) actions.push_back(action);
    for (int action : actions) lines.push_back({std::string("key.") + actionName(action), *keyList(s, action), true});
    for (int a = 0; a < kPadActions; ++a)
        if (const auto list = padList(s, a)) lines.push_back({std::string("pad.") + kPadActionNames[a], *list, true});
    return lines;
}

std::string lineFor(const std::string& name, const std::string& value) {
    return value.empty() ? name + " =" : name + " = " + value;
}

// Far more than any settings file a player writes.
constexpr std::uint64_t kSettingsFileLimit = 1u << 20;

constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

// The setting a line of the file names, or "" for a comment, a blank or a line without "=".
std::string nameOfLine(const std::string& line) {
    const std::string t = trim(line);
    const auto eq = t.find('=');
    return t.empty() || t[0] == '#' || eq == std::string::npos ? std::string() : trim(t.substr(0, eq));
}

// The line with its value replaced, the spacing around it kept.
std::string withValue(const std::string& line, const std::string& value) {
    const std::size_t eq = line.find('=');
    std::size_t start = line.find_first_not_of(" \t", eq + 1);
    if (start == std::string::npos) start = line.size();
    const std::size_t last = line.find_last_not_of(" \t\r");
    const std::size_t end = last == std::string::npos || last < start ? start : last + 1;
    if (value.empty()) return line.substr(0, eq + 1) + line.substr(end);
    const bool spaced = start == eq + 1 && eq > 0 && line[eq - 1] == ' ';
    return line.substr(0, start) + (spaced ? " " : "") + value + line.substr(end);
}

}  // namespace

std::vector<PadControl> padControls(const Settings& settings, PadAction action) {
    std::vector<PadControl> bound;
    bool listed = false;
    for (const auto& [control, a] : settings.pad) {
        if (a != action) continue;
        listed = true;
        if (!(control == kNoPadControl)) bound.push_back(control);
    }
    return listed ? bound : defaultPadControls(action);
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
    // Editors on some systems start a UTF-8 file with a byte-order mark.
    std::istringstream in(text.rfind(kByteOrderMark, 0) == 0 ? text.substr(3) : text);
    std::string line;
    int bad = 0;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        const std::string why = eq == std::string::npos
                                    ? "expected \"name = value\""
                                    : applyLine(trim(line.substr(0, eq)), trim(line.substr(eq + 1)), settings);
        if (!why.empty() && ++bad <= kShownProblems)
            problems.push_back(name + ":" + std::to_string(number) + ": " + why + "; line ignored");
    }
    if (bad > kShownProblems)
        problems.push_back(name + ": " + std::to_string(bad - kShownProblems) + " more bad line" +
                           (bad - kShownProblems > 1 ? "s" : "") + " ignored");
}

void loadSettings(const std::string& path, Settings& settings, std::vector<std::string>& problems, bool mustExist) {
    std::error_code ec;
    if (path.empty()) return;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        if (mustExist) problems.push_back(path + ": no such settings file; the usual settings apply");
        return;
    }
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!readWholeFile(path, bytes, why, kSettingsFileLimit)) {
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
        "# OnlineFigures, instead of its usual keys (none: no key does). pad.ACTION =\n"
        "# buttons and axes (leftx-, righttrigger, ...) for Faster Slower TurnLeft\n"
        "# TurnRight TurretLeft TurretRight Fire Computer Pause.\n";
    for (const SettingLine& line : settingLines(s)) out += lineFor(line.name, line.value) + "\n";
    return out;
}

std::string updateSettings(const std::string& text, const Settings& settings) {
    if (text.empty()) return formatSettings(settings);
    Settings before;
    std::vector<std::string> ignored;
    parseSettings(text, "", before, ignored);
    const std::vector<SettingLine> was = settingLines(before);

    // The file's lines, each with the setting it names (if any).
    const bool bom = text.rfind(kByteOrderMark, 0) == 0;
    std::vector<std::string> lines, names;
    std::istringstream in(bom ? text.substr(3) : text);
    for (std::string line; std::getline(in, line);) names.push_back(nameOfLine(line)), lines.push_back(line);
    std::vector<bool> removed(lines.size(), false);
    const bool crlf = !lines.empty() && !lines[0].empty() && lines[0].back() == '\r';
    std::string appended;

    // What differs from what the file gives now; no value: a binding the settings no longer have.
    struct Change {
        std::string name;
        std::optional<std::string> value;
        bool list;
    };
    std::vector<Change> changes;
    const std::vector<SettingLine> now = settingLines(settings);
    for (const SettingLine& n : now) {
        const auto old = std::find_if(was.begin(), was.end(), [&](const SettingLine& w) { return w.name == n.name; });
        if (old == was.end() || old->value != n.value) changes.push_back({n.name, n.value, n.list});
    }
    for (const SettingLine& w : was)
        if (std::none_of(now.begin(), now.end(), [&](const SettingLine& n) { return n.name == w.name; }))
            changes.push_back({w.name, std::nullopt, true});

    for (const Change& change : changes) {
        // A binding is kept on the first line naming it, a single value on the last
        // (the one that counts); the other lines of a binding go.
        std::vector<std::size_t> naming;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (names[i] == change.name) naming.push_back(i);
        if (naming.empty() && change.value) appended += lineFor(change.name, *change.value) + (crlf ? "\r\n" : "\n");
        for (std::size_t i : naming) {
            const bool keeper = change.value && i == (change.list ? naming.front() : naming.back());
            if (keeper)
                lines[i] = withValue(lines[i], *change.value);
            else if (change.list)
                removed[i] = true;
        }
    }

    std::string out = bom ? kByteOrderMark : "";
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!removed[i]) out += lines[i] + "\n";
    if (!appended.empty()) return out + appended;
    // A last line without a newline stays so.
    if (text.back() != '\n' && !lines.empty() && !removed.back()) out.pop_back();
    return out;
}

bool saveSettings(const std::string& path, const Settings& settings, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A link (as dotfile managers make) is written through, not replaced by a file.
    fs::path target(path);
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path to = fs::read_symlink(target, ec);
        if (!ec) target = to.is_absolute() ? to : target.parent_path() / to;
    }
    // The player's file is updated, comments and all; a file that cannot be read is left alone.
    std::string old;
    struct stat info {};
    const bool existed = ::stat(target.c_str(), &info) == 0;
    if (existed) {
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (!readWholeFile(target.string(), bytes, why, kSettingsFileLimit)) {
            error = path + ": cannot read the settings to update them (" + why + "); nothing written";
            return false;
        }
        old.assign(bytes.begin(), bytes.end());
    }
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    const std::string temporary = target.string() + ".new" + std::to_string(::getpid());
    const std::string text = updateSettings(old, settings);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (ok && existed) ::fchmod(fd, info.st_mode & 07777);  // a private file stays private
    ok = fd >= 0 && ::fsync(fd) == 0 && ok;
    if (fd >= 0) ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), target.c_str()) == 0) {
        // The new name itself reaches the disk with the directory.
        const int dir = ::open(target.has_parent_path() ? target.parent_path().c_str() : ".", O_RDONLY | O_CLOEXEC);
        if (dir >= 0) ::fsync(dir), ::close(dir);
        return true;
    }
    error = path + ": cannot write the settings" + (fd < 0 ? " (is the directory writable?)" : "");
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace platform::sdl
