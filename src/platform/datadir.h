// Finding the directory that holds the game's five data files.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The five files the game reads from its data directory.
const std::vector<std::string>& dataFileNames();

struct DataSearch {
    std::string directory;           // the chosen directory (empty when none fits)
    std::vector<std::string> tried;  // every directory looked at, in order
};

// --data DIR if given, else $TANKBATTLE_DATA, else the current directory if it
// holds "Tank.ddo", else "data" beside the executable, else the installed directory
// (share/tankbattle beside the executable's bin/, then the configured install prefix's).
DataSearch findDataDirectory(const std::string& explicitDir, const char* argv0);

// Checks that every data file can be read; otherwise returns false with a message
// naming the file, the directories tried and what to do.
bool checkDataFiles(const DataSearch& search, std::string& error);

}  // namespace platform
