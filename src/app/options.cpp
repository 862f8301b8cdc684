// The command line: one table of the options, read by the parser and by --help.
#include "app/options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace tb {

const char* programVersion() { return TANKBATTLE_VERSION; }

bool timingReportWanted() {
    const char* value = std::getenv("TANKBATTLE_TIMING");
    return value && *value && std::string(value) != "0";
}

// clang-format off
const std::vector<OptionGroupText>& optionGroups() {
    static const std::vector<OptionGroupText> groups = {
        {OptionGroup::Playing, "Playing", ""},
        {OptionGroup::Online, "Online play",
         "Two players on two machines, each at its own keyboard: the host plays player 1's keys, the one who "
         "joins player 2's; the shared keys (P, O, I, 1-0, Escape) work on both. Pause on either side pauses "
         "both."},
        {OptionGroup::Headless, "Headless",
         "No window, no sound, no pacing; the state dump and --no-pixels work only here."},
        {OptionGroup::Other, "Information", ""}};
    return groups;
}

const std::vector<OptionSpec>& optionTable() {
    using G = OptionGroup;
    using O = Options;
    static const std::vector<OptionSpec> table = {
        {.name = "--window", .help = "Play in a resizable window instead of full screen.", .flag = &O::window},
        {.name = "--fullscreen", .help = "Play full screen, even where the settings file says window.",
         .flag = &O::fullscreen},
        {.name = "--integer-scale", .help = "Scale the 640x480 picture in whole steps only, for sharp pixels.",
         .flag = &O::integerScale},
        {.name = "--mute", .help = "Play without sound.", .flag = &O::mute},
        {.name = "--volume", .argument = "N", .help = "Sound volume, 0 to 100.", .count = &O::volume,
         .minimum = 0, .maximum = 100},
        {.name = "--config", .argument = "FILE",
         .help = "Read the settings from FILE instead of $XDG_CONFIG_HOME/tankbattle/settings.ini "
                 "(~/.config/tankbattle/settings.ini where XDG_CONFIG_HOME is not set).",
         .text = &O::configFile},
        {.name = "--save-settings",
         .help = "Write the settings in effect, this command line's over the file's, to the settings file.",
         .flag = &O::saveSettings},
        {.name = "--scale", .argument = "N",
         .help = "Draw N times 640x480 pixels, N from 1 to 4 (screenshots too).", .count = &O::scale,
         .minimum = 1, .maximum = 4},
        {.name = "--threads", .argument = "N",
         .help = "Draw with N threads, 1 to 64 (without it: one per core).", .count = &O::threads,
         .minimum = 1, .maximum = 64},
        {.name = "--data", .argument = "DIR",
         .help = "Read Tank.ddo, tex.bmp, tex2.bmp, expl.wav and bumm.wav from DIR.", .text = &O::dataDir},
        {.name = "--record", .argument = "FILE", .help = "Write the keys of this game to a replay file as it goes (into FILE.part, renamed to FILE at a clean exit).",
         .text = &O::recordFile},
        {.name = "--replay", .argument = "FILE",
         .help = "Play a replay file back (in the window at normal speed; headless as fast as possible).",
         .text = &O::replayFile},
        {.name = "--frames", .argument = "N", .help = "Stop after N frames.", .count = &O::frames,
         .minimum = 0, .maximum = LLONG_MAX},

        {.name = "--host", .argument = "[PORT]", .group = G::Online,
         .help = "Wait for the other player on UDP port PORT (7777 when left out), then play player 1.",
         .count = &O::hostPort, .minimum = 1, .maximum = 65535, .optionalDefault = "7777"},
        {.name = "--join", .argument = "HOST[:PORT]", .group = G::Online,
         .help = "Join the game of the player waiting at HOST (a name or an IPv4 address), port 7777 or PORT, "
                 "and play player 2.",
         .text = &O::joinAddress},
        {.name = "--input-delay", .argument = "N", .group = G::Online,
         .help = "Let a key act N passes after it is pressed, 0 to 30 (2 when left out): a little more delay "
                 "means fewer corrections when the link is slow.",
         .count = &O::inputDelay, .minimum = 0, .maximum = 30},

        {.name = "--headless", .group = G::Headless,
         .help = "Run the game without a window, as fast as possible; needs --frames N, as nothing else "
                 "would end the run.",
         .flag = &O::headless},
        {.name = "--dump-state", .argument = "FILE", .group = G::Headless,
         .help = "Write the world as JSON Lines after the last frame; the first line names the program and "
                 "its version.",
         .text = &O::dumpFile},
        {.name = "--dump-every", .argument = "K", .group = G::Headless,
         .help = "Also write the world after every K-th frame.", .count = &O::dumpEvery, .minimum = 1,
         .maximum = LLONG_MAX},
        {.name = "--screenshot", .argument = "FILE", .group = G::Headless,
         .help = "Write the last frame as a PNG file (in a window too, at exit).", .text = &O::screenshotFile},
        {.name = "--no-pixels", .group = G::Headless,
         .help = "Skip drawing the pixels; the game runs exactly the same.", .flag = &O::noPixels},
        {.name = "--sync-test", .argument = "N", .group = G::Headless,
         .help = "After every frame, roll the game back N frames (1 to 64) and run them again, stopping with "
                 "a message if a frame's state differs from the first time.",
         .count = &O::syncTest, .minimum = 1, .maximum = 64},

        {.name = "--help", .alias = "-h", .group = G::Other, .help = "Show the options and keys, and exit.",
         .flag = &O::help},
        {.name = "--version", .group = G::Other, .help = "Show the version, and exit.", .flag = &O::version}};
    return table;
}
// clang-format on

std::string wrapText(const std::string& text, std::size_t indent, std::size_t width) {
    std::string out, line;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += line + "\n" + std::string(indent, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return out + line + "\n";
}

std::string usageText() {
    constexpr std::size_t kColumn = 23, kWidth = 79;
    std::string out = "Usage: tankbattle [OPTIONS]\n" +
                      wrapText(std::string("tankbattle ") + programVersion() +
                                   ": a tank battle for two players on one keyboard against the computer.",
                               0, kWidth);
    for (const OptionGroupText& g : optionGroups()) {
        out += "\n" + std::string(g.title) + ":\n";
        if (*g.text) out += "  " + wrapText(g.text, 2, kWidth);
        for (const OptionSpec& o : optionTable()) {
            if (o.group != g.group) continue;
            std::string name = std::string("  ") + o.name + (o.argument ? std::string(" ") + o.argument : "");
            if (o.alias) name += std::string(", ") + o.alias;
            name +=
                name.size() + 1 < kColumn ? std::string(kColumn - name.size(), ' ') : "\n" + std::string(kColumn, ' ');
            out += name + wrapText(o.help, kColumn, kWidth);
        }
    }
    return out +
           "\n"
           "Player 1 drives the red tank 0: keypad 5/2 faster/slower, 1/3 turn, 4/6 turret,\n"
           "  Right or Enter fire (without a keypad: K/, faster/slower, M/. turn, J/L\n"
           "  turret).\n"
           "Player 2 drives red tank 2 beside player 1, or blue tank 1 against them (I\n"
           "  switches): W/S faster/slower, A/D turn, Q/E turret, Space or Ctrl fire.\n"
           "P hands player 1's tank to the computer and back, O player 2's; any driving key\n"
           "takes it back. Digits 1-5 bring blue computer tanks in and out, 6-0 red ones.\n"
           "The red and blue bar at the field's edges is the battle's balance: the more\n"
           "blue, the better the blue team is doing. Pause pauses; - and = change the\n"
           "volume, F9 mutes; F12 saves a screenshot; Alt+Enter toggles full screen; Escape\n"
           "quits. Gamepads: the first plays for player 1, the second for player 2\n"
           "(first-pad = 2 in the settings file gives every pad to player 2).\n";
}

namespace {

bool parseCount(const char* text, long long& value) {
    if (!text || !*text) return false;
    for (const char* c = text; *c; ++c)
        if (*c < '0' || *c > '9') return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && end && *end == '\0';
}

// Options that would do nothing together are refused rather than ignored.
bool checkCombination(const Options& o, std::string& error) {
    if (o.help || o.version) return true;
    const struct {
        bool given;
        const char* name;
    } windowOnly[] = {{o.window, "--window"},
                      {o.fullscreen, "--fullscreen"},
                      {o.integerScale, "--integer-scale"},
                      {o.mute, "--mute"},
                      {o.volume >= 0, "--volume"},
                      {!o.configFile.empty(), "--config"},
                      {o.saveSettings, "--save-settings"}},
      headlessOnly[] = {{!o.dumpFile.empty(), "--dump-state"},
                        {o.dumpEvery > 0, "--dump-every"},
                        {o.noPixels, "--no-pixels"},
                        {o.syncTest > 0, "--sync-test"}};
    if (o.headless) {
        for (const auto& w : windowOnly)
            if (w.given) {
                error = std::string(w.name) + " is for play in a window; it does not go with --headless";
                return false;
            }
        if (o.frames < 0) {
            error = "--headless needs --frames N: without a window nothing else would end the run";
            return false;
        }
    } else {
        for (const auto& h : headlessOnly)
            if (h.given) {
                error = std::string(h.name) + " works only with --headless";
                return false;
            }
    }
    if (o.window && o.fullscreen) {
        error = "--window and --fullscreen contradict each other";
        return false;
    }
    const bool online = o.hostPort > 0 || !o.joinAddress.empty();
    if (o.hostPort > 0 && !o.joinAddress.empty()) {
        error = "--host and --join contradict each other: one side hosts, the other joins";
        return false;
    }
    if (o.inputDelay >= 0 && !online) {
        error = "--input-delay is for online play, with --host or --join";
        return false;
    }
    if (o.syncTest > 0 && online) {
        error = "--sync-test does not go with online play";
        return false;
    }
    if (o.dumpEvery > 0 && o.dumpFile.empty()) {
        error = "--dump-every needs --dump-state FILE";
        return false;
    }
    return true;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : optionTable())
            if (arg == candidate.name || (candidate.alias && arg == candidate.alias)) spec = &candidate;
        if (!spec) {
            error = "unknown option \"" + arg + "\"";
            return false;
        }
        if (spec->flag) {
            if (hasValue) {
                error = arg + " takes no value";
                return false;
            }
            o.*spec->flag = true;
        } else if (spec->text) {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = arg + " needs a non-empty value";
                return false;
            }
            o.*spec->text = value;
        } else if (spec->count) {
            // A value that may be left out is taken only when one follows.
            if (spec->optionalDefault && !hasValue && (i + 1 >= argc || argv[i + 1][0] == '-'))
                value = spec->optionalDefault;
            else if (!takeValue())
                return false;
            long long n;
            if (!parseCount(value.c_str(), n) || n < spec->minimum || n > spec->maximum) {
                error = arg + " needs a whole number " +
                        (spec->maximum == LLONG_MAX
                             ? "of at least " + std::to_string(spec->minimum)
                             : "from " + std::to_string(spec->minimum) + " to " + std::to_string(spec->maximum)) +
                        ", not \"" + value + "\"";
                return false;
            }
            o.*spec->count = n;
        }
    }
    return checkCombination(o, error);
}

}  // namespace tb
