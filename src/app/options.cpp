// The command line. Every option is documented in usageText, next to its parsing.
#include "app/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tb {

const char* programVersion() { return TANKBATTLE_VERSION; }

const char* usageText() {
    return "Usage: tankbattle [OPTIONS]\n"
           "A tank battle for two players on one keyboard against the computer.\n"
           "\n"
           "Playing:\n"
           "  --window             play in a resizable window instead of full screen\n"
           "  --fullscreen         play full screen (the start setting; see --config)\n"
           "  --integer-scale      scale the 640x480 picture in whole steps only\n"
           "  --mute               no sound\n"
           "  --volume N           sound volume, 0 to 100\n"
           "  --config FILE        read the settings from FILE instead of\n"
           "                       $XDG_CONFIG_HOME/tankbattle/settings.ini (~/.config/...)\n"
           "  --save-settings      write the settings in effect (with this command line's) to that file\n"
           "  --scale N            draw N times 640x480 pixels, N from 1 to 4 (screenshots too)\n"
           "  --threads N          draw with N threads (default: one per core)\n"
           "  --data DIR           read Tank.ddo, tex.bmp, tex2.bmp, expl.wav and bumm.wav from DIR\n"
           "  --record FILE        write the key presses of this session to a replay file\n"
           "  --replay FILE        play a replay file back (in the window, at normal speed)\n"
           "  --frames N           stop after N frames\n"
           "\n"
           "Headless (no window, no sound, no pacing; the dump and --no-pixels work only here):\n"
           "  --headless           run the game without a window, as fast as possible;\n"
           "                       needs --frames N, as nothing else would end the run\n"
           "  --dump-state FILE    write the world as JSON Lines after the last frame\n"
           "  --dump-every K       ... and after every K-th frame\n"
           "  --screenshot FILE    write the last frame as a PNG file (in a window too, at exit)\n"
           "  --no-pixels          skip drawing pixels (the game runs exactly the same)\n"
           "\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Player 1 drives the red tank 0: keypad 5/2 faster/slower, 1/3 turn, 4/6 turret, Right or Enter\n"
           "          fire (without a keypad: K/, faster/slower, M/. turn, J/L turret).\n"
           "Player 2 drives red tank 2 beside player 1, or blue tank 1 against them (I switches):\n"
           "          W/S faster/slower, A/D turn, Q/E turret, Space or Ctrl fire.\n"
           "P hands player 1's tank to the computer and back, O player 2's; any driving key takes it back.\n"
           "Digits 1-5 bring blue computer tanks in and out, 6-0 red ones. The red and blue bar at the\n"
           "field's edges is the battle's balance: the more blue, the better the blue team is doing.\n"
           "Pause pauses; - and = change the volume, F9 mutes; F12 saves a screenshot; Alt+Enter toggles\n"
           "full screen; Escape quits. Gamepads: the first plays for player 1, the second for player 2\n"
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
      headlessOnly[] = {
          {!o.dumpFile.empty(), "--dump-state"}, {o.dumpEvery > 0, "--dump-every"}, {o.noPixels, "--no-pixels"}};
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
    if (o.dumpEvery > 0 && o.dumpFile.empty()) {
        error = "--dump-every needs --dump-state FILE";
        return false;
    }
    return true;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    struct Flag {
        const char* name;
        bool Options::*member;
    };
    static const Flag flags[] = {{"--help", &Options::help},
                                 {"-h", &Options::help},
                                 {"--version", &Options::version},
                                 {"--headless", &Options::headless},
                                 {"--no-pixels", &Options::noPixels},
                                 {"--window", &Options::window},
                                 {"--fullscreen", &Options::fullscreen},
                                 {"--integer-scale", &Options::integerScale},
                                 {"--mute", &Options::mute},
                                 {"--save-settings", &Options::saveSettings}};
    struct Text {
        const char* name;
        std::string Options::*member;
    };
    static const Text texts[] = {{"--replay", &Options::replayFile},   {"--record", &Options::recordFile},
                                 {"--dump-state", &Options::dumpFile}, {"--screenshot", &Options::screenshotFile},
                                 {"--data", &Options::dataDir},        {"--config", &Options::configFile}};
    struct Count {
        const char* name;
        long long Options::*member;
        long long minimum, maximum;
    };
    static const Count counts[] = {{"--frames", &Options::frames, 0, LLONG_MAX},
                                   {"--dump-every", &Options::dumpEvery, 1, LLONG_MAX},
                                   {"--volume", &Options::volume, 0, 100},
                                   {"--scale", &Options::scale, 1, 4},
                                   {"--threads", &Options::threads, 1, 64}};

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
        bool known = false;
        for (const Flag& f : flags) {
            if (arg != f.name) continue;
            if (hasValue) {
                error = arg + " takes no value";
                return false;
            }
            o.*f.member = true;
            known = true;
        }
        for (const Text& t : texts) {
            if (arg != t.name) continue;
            if (!takeValue()) return false;
            if (value.empty()) {
                error = arg + " needs a non-empty value";
                return false;
            }
            o.*t.member = value;
            known = true;
        }
        for (const Count& c : counts) {
            if (arg != c.name) continue;
            if (!takeValue()) return false;
            long long n;
            if (!parseCount(value.c_str(), n) || n < c.minimum || n > c.maximum) {
                error = arg + " needs a whole number " +
                        (c.maximum == LLONG_MAX
                             ? "of at least " + std::to_string(c.minimum)
                             : "from " + std::to_string(c.minimum) + " to " + std::to_string(c.maximum)) +
                        ", not \"" + value + "\"";
                return false;
            }
            o.*c.member = n;
            known = true;
        }
        if (!known) {
            error = "unknown option \"" + arg + "\"";
            return false;
        }
    }
    return checkCombination(o, error);
}

}  // namespace tb
