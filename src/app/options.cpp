// The command line. Every option is documented in usageText, next to its parsing.
#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tb {

const char* usageText() {
    return "Usage: tankbattle [OPTIONS]\n"
           "A tank battle for two players on one keyboard against the computer.\n"
           "\n"
           "Playing:\n"
           "  --window             play in a resizable window instead of full screen\n"
           "  --integer-scale      scale the 640x480 picture in whole steps only\n"
           "  --mute               no sound\n"
           "  --data DIR           read Tank.ddo, tex.bmp, tex2.bmp, expl.wav and bumm.wav from DIR\n"
           "  --record FILE        write the key presses of this session to a replay file\n"
           "  --replay FILE        play a replay file back (in the window, at normal speed)\n"
           "  --frames N           stop after N frames\n"
           "\n"
           "Headless (no window, no sound, no pacing):\n"
           "  --headless           run the game without a window, as fast as possible\n"
           "  --dump-state FILE    write the world as JSON Lines after the last frame\n"
           "  --dump-every K       ... and after every K-th frame\n"
           "  --screenshot FILE    write the last frame as a PNG file (also in a window, at exit)\n"
           "  --no-pixels          skip drawing pixels (the game runs exactly the same)\n"
           "\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Player 1: keypad 5/2 faster/slower, 1/3 turn, 4/6 turret, Right or Enter fire, P autopilot\n"
           "          (without a keypad: K/, faster/slower, M/. turn, J/L turret).\n"
           "Player 2: W/S faster/slower, A/D turn, Q/E turret, Space or Ctrl fire, O autopilot.\n"
           "I switches player 2 between co-operative and versus; digits bring computer tanks in and out;\n"
           "Alt+Enter toggles full screen; F12 saves a screenshot; Escape quits.\n";
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
                                 {"--integer-scale", &Options::integerScale},
                                 {"--mute", &Options::mute}};
    struct Text {
        const char* name;
        std::string Options::*member;
    };
    static const Text texts[] = {{"--replay", &Options::replayFile},
                                 {"--record", &Options::recordFile},
                                 {"--dump-state", &Options::dumpFile},
                                 {"--screenshot", &Options::screenshotFile},
                                 {"--data", &Options::dataDir}};
    struct Count {
        const char* name;
        long long Options::*member;
        long long minimum;
    };
    static const Count counts[] = {{"--frames", &Options::frames, 0}, {"--dump-every", &Options::dumpEvery, 1}};

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
            if (!parseCount(value.c_str(), n) || n < c.minimum) {
                error =
                    arg + " needs a whole number of at least " + std::to_string(c.minimum) + ", not \"" + value + "\"";
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
    if (o.headless && !o.recordFile.empty()) {
        error = "--record records a played session; it does not go with --headless";
        return false;
    }
    return true;
}

}  // namespace tb
