// The command line: what the player or a script asked for.
#pragma once

#include <string>
#include <vector>

namespace tb {

struct Options {
    bool help = false;
    bool version = false;
    bool headless = false;
    long long frames = -1;       // at most this many passes; -1: until Escape
    std::string replayFile;      // key presses to play back
    std::string recordFile;      // key presses to record (window only)
    std::string dumpFile;        // JSON Lines state dump
    long long dumpEvery = 0;     // also dump after every K-th pass
    std::string screenshotFile;  // PNG of the last displayed frame
    std::string dataDir;         // empty: search the usual places
    bool noPixels = false;       // headless: skip rasterising, keep every game-side effect
    bool window = false;         // a resizable window instead of full screen
    bool fullscreen = false;     // full screen even when the settings say window
    bool integerScale = false;   // scale the picture in whole steps
    bool mute = false;           // no sound
    long long volume = -1;       // 0..100; -1: as the settings say
    std::string configFile;      // settings file; empty: the usual place
    bool saveSettings = false;   // write the settings in effect to the settings file
    long long scale = 0;         // rendered pixels per game pixel along each axis, 1..4; 0: the settings'
    long long threads = 0;       // threads that draw the pixels; 0: one per core
    long long hostPort = 0;      // online: wait for the other player on this UDP port; 0: not hosting
    std::string joinAddress;     // online: HOST[:PORT] of the game to join
    long long inputDelay = -1;   // online: passes between a key press and the pass it acts in; -1: the default
    long long syncTest = 0;      // headless: roll back this many passes after every pass, and compare
};

// The UDP port of online play when none is given.
constexpr int kDefaultPort = 7777;
// The default input delay, in passes.
constexpr int kDefaultInputDelay = 2;

// The options are described once, in one table: the parser reads it, and --help,
// the manual page and README.md's option tables are made from it.
enum class OptionGroup { Playing, Online, Headless, Other };

struct OptionGroupText {
    OptionGroup group;
    const char* title;  // "Playing"; empty for the last group
    const char* text;   // what the group's options have in common; may be empty
};

struct OptionSpec {
    const char* name;                // "--frames"
    const char* alias = nullptr;     // a short spelling ("-h"), if any
    const char* argument = nullptr;  // the value's placeholder ("N", "FILE"); none for a switch
    OptionGroup group = OptionGroup::Playing;
    const char* help = "";                 // what it does, in sentences; `--frames N` names another option
    bool Options::*flag = nullptr;         // a switch sets this;
    std::string Options::*text = nullptr;  // or the value is kept as text;
    long long Options::*count = nullptr;   // or as a whole number from minimum to maximum
    long long minimum = 0, maximum = 0;
    const char* optionalDefault = nullptr;  // a value that may be left out: this one is taken then
};

const std::vector<OptionGroupText>& optionGroups();
const std::vector<OptionSpec>& optionTable();

// Parses argv; on a bad command line returns false with a one-line reason.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
// The text of --help, lines at most 79 columns wide.
std::string usageText();
// `text` broken at spaces into lines of at most `width` columns (a longer word
// stands alone), each but the first indented by `indent` spaces; ends in a newline.
std::string wrapText(const std::string& text, std::size_t indent, std::size_t width);
// The program's version, as in VERSION ("1.0.0").
const char* programVersion();
// Whether TANKBATTLE_TIMING asks for the timing figures at exit (set, not empty, not 0).
bool timingReportWanted();

}  // namespace tb
