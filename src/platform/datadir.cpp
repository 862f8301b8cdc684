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

static std::string executableDirectory(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec && argv0) self = fs::absolute(argv0, ec);
    if (ec || self.empty()) return {};
    return self.parent_path().string();
}

DataSearch findDataDirectory(const std::string& explicitDir, const char* argv0) {
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
    if (std::string exeDir = executableDirectory(argv0); !exeDir.empty()) {
        candidates.push_back(exeDir + "/data");
        // An installed tree moved to another prefix keeps bin/ and share/tankbattle/ side by side.
        candidates.push_back(fs::path(exeDir + "/../share/tankbattle").lexically_normal().string());
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
        fs::path path = fs::path(search.directory) / name;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            error = "tankbattle: cannot read data file \"" + name + "\" in " + search.directory +
                    " (directories tried: " + tried + ")." + advice;
            return false;
        }
        std::fclose(f);
    }
    return true;
}

}  // namespace platform
