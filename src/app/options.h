// The command line: what the player or a script asked for.
#pragma once

#include <string>

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
};

// Parses argv; on a bad command line returns false with a one-line reason.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
const char* usageText();
// The program's version, as in VERSION ("1.0.0").
const char* programVersion();

}  // namespace tb
