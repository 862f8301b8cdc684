// Finding the data directory and checking that the data files are there.
#include "datadir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef TANKBATTLE_INSTALLED_DATA
#define TANKBATTLE_INSTALLED_DATA "/usr/local/share/tankbattle"
#endif

namespace fs = std::filesystem;

namespace platform {

const std::vector<std::string>& dataFileNames() {
    static const std::vector<std::string> names = {"Tank.ddo", "tex.bmp", "tex2.bmp", "expl.wav", "bumm.wav"};
    return names;
}

std::string executableDirectory(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec && argv0) self = fs::absolute(argv0, ec);
    if (ec || self.empty()) return {};
    return self.parent_path().string();
}

DataSearch findDataDirectory(const std::string& explicitDir, const char* argv0) {
    return findDataDirectoryFrom(explicitDir, executableDirectory(argv0));
}

DataSearch findDataDirectoryFrom(const std::string& explicitDir, const std::string& exeDir) {
    DataSearch search;
    if (!explicitDir.empty()) {
        search.tried.push_back(explicitDir);
        search.directory = explicitDir;
        return search;
    }
    if (const char* env = std::getenv("TANKBATTLE_DATA"); env && *env) {
        search.tried.push_back(env);
        search.directory = env;
        return search;
    }
    std::error_code ec;
    std::vector<std::string> candidates = {"."};
    if (!exeDir.empty()) {
        candidates.push_back(exeDir + "/data");
        // An installed tree moved to another prefix keeps bin/ and share/tankbattle/ side by side,
        // or, laid out as Debian lays out games, games/ and share/games/tankbattle/.
        candidates.push_back(fs::path(exeDir + "/../share/tankbattle").lexically_normal().string());
        candidates.push_back(fs::path(exeDir + "/../share/games/tankbattle").lexically_normal().string());
    }
    candidates.push_back(TANKBATTLE_INSTALLED_DATA);
    for (const std::string& dir : candidates) {
        if (std::find(search.tried.begin(), search.tried.end(), dir) != search.tried.end()) continue;
        search.tried.push_back(dir);
        if (fs::is_regular_file(fs::path(dir) / "Tank.ddo", ec)) {
            search.directory = dir;
            return search;
        }
    }
    return search;
}

bool checkDataFiles(const DataSearch& search, std::string& error) {
    std::string tried;
    for (const std::string& dir : search.tried) tried += (tried.empty() ? "" : ", ") + dir;
    const std::string advice =
        " Build the game data (cmake --build build), or point --data DIR or TANKBATTLE_DATA at a directory "
        "holding Tank.ddo, tex.bmp, tex2.bmp, expl.wav and bumm.wav.";
    if (search.directory.empty()) {
        error = "tankbattle: no data directory found: \"Tank.ddo\" is in none of: " + tried + "." + advice;
        return false;
    }
    for (const std::string& name : dataFileNames()) {
        const fs::path path = fs::path(search.directory) / name;
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (!fs::exists(status)) {
            error = "tankbattle: cannot read data file \"" + name + "\" in " + search.directory +
                    " (directories tried: " + tried + ")." + advice;
            return false;
        }
        const std::uintmax_t size = fs::is_regular_file(status) ? fs::file_size(path, ec) : 0;
        if (!ec && size > kDataFileLimit) {
            error = "tankbattle: data file \"" + path.string() + "\" is " + std::to_string(size) +
                    " bytes, far more than the game reads (at most " + std::to_string(kDataFileLimit) +
                    "); refusing to read it." + advice;
            return false;
        }
    }
    return true;
}

std::vector<std::string> dataFileWarnings(const std::vector<DataFileTrouble>& troubles) {
    struct Effect {
        const char* name;
        const char* consequence;
    };
    static const Effect effects[] = {
        {"Tank.ddo", "objects are missing from the field"},
        {"tex.bmp", "the ground is flat where its pixels are missing"},
        {"tex2.bmp", "colours are missing where its pixels are (trees and tanks turn dark)"},
    };
    std::vector<std::string> lines;
    for (const DataFileTrouble& t : troubles) {
        std::string consequence = "the game reads it as empty";
        for (const Effect& e : effects)
            if (t.name == e.name) consequence = e.consequence;
        const std::string size = std::to_string(t.size) + " bytes";
        const std::string cut = t.endMarker ? ", cut short by a 0x1A byte at " + std::to_string(t.delivered) : "";
        std::string what;
        if (!t.unreadable.empty()) {
            what = "cannot be read: " + t.unreadable + "; it counts as empty";
        } else if (t.name == "Tank.ddo") {
            what = t.delivered < 116 ? "holds no model records (" + size + cut + ")"
                                     : "holds only " + std::to_string(t.delivered / 116) +
                                           " of the 420 model records (" + size + cut + ")";
            if (t.delivered < 116) consequence = "the field will be empty";
        } else {
            what = std::string(t.name.ends_with(".bmp") ? "is a bitmap too small" : "is a short file") + " (" + size +
                   cut + ")";
        }
        lines.push_back("tankbattle: warning: data file \"" + dataPath(t.name.c_str()) + "\" " + what + ", so " +
                        consequence + ". Rebuild the game data (cmake --build build) to restore it.");
    }
    return lines;
}

void warnDataFiles() {
    for (const std::string& line : dataFileWarnings(takeDataFileTroubles())) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace platform
