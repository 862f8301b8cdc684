// Finding the directory that holds the game's five data files.
#pragma once

#include <string>
#include <vector>

#include "platform/stream.h"

namespace platform {

// The five files the game reads from its data directory.
const std::vector<std::string>& dataFileNames();

struct DataSearch {
    std::string directory;           // the chosen directory (empty when none fits)
    std::vector<std::string> tried;  // every directory looked at, in order
};

// --data DIR if given, else $TANKBATTLE_DATA, else the current directory if it
// holds "Tank.ddo", else "data" beside the executable, else the installed directory
// (share/tankbattle beside the executable's bin/, share/games/tankbattle beside its
// games/, then the configured installation's).
DataSearch findDataDirectory(const std::string& explicitDir, const char* argv0);
// The same search for an executable in `exeDir` (none when empty).
DataSearch findDataDirectoryFrom(const std::string& explicitDir, const std::string& exeDir);
// The directory of the running executable; empty when it cannot be told.
std::string executableDirectory(const char* argv0);

// Checks that every data file exists and is not too large to read; otherwise
// returns false with a message naming the file, the directories tried (or the
// file's size) and what to do. Files that are there but are no regular files
// pass: the game reads them as empty, and warnDataFiles says so.
bool checkDataFiles(const DataSearch& search, std::string& error);

// One warning line per data file that did not give the game what it reads (see
// takeDataFileTroubles), naming the file, what looks wrong and what it does to the game.
std::vector<std::string> dataFileWarnings(const std::vector<DataFileTrouble>& troubles);
// Prints the warnings for the troubles met so far to stderr.
void warnDataFiles();

}  // namespace platform
