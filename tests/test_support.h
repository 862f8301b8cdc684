// Helpers shared by the game's tests: the random generator written out the long
// way, a sound service that logs what it is asked to play, scratch directories
// and running the built game.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sound.h"

#ifndef TANKBATTLE_EXECUTABLE
#define TANKBATTLE_EXECUTABLE "tankbattle"
#endif

namespace tbtest {

namespace fs = std::filesystem;

// state = state * 1103515245 + 12345 modulo 2^32 in 64-bit arithmetic; a draw is bits 16..30.
struct Lcg {
    std::uint64_t state;
    int next() {
        state = (state * 1103515245ull + 12345ull) % 4294967296ull;
        return int((state / 65536) % 32768);
    }
    std::uint32_t after(int draws) {
        for (int n = 0; n < draws; ++n) next();
        return std::uint32_t(state);
    }
};

// Installed for its lifetime: every file the game plays, in order.
struct SoundLog : platform::Sound {
    std::vector<std::string> played;
    SoundLog() { platform::setSound(this); }
    ~SoundLog() override { platform::setSound(nullptr); }
    void play(const char* name) override { played.push_back(name); }
    int count(const std::string& name) const { return int(std::count(played.begin(), played.end(), name)); }
};

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// A private temporary directory, removed with everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag)
        : path_(fs::temp_directory_path() / ("tankbattle_" + tag + "_" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    template <class Bytes>
    void write(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void write(const std::string& name, const char* text) const { write(name, std::string(text)); }

private:
    fs::path path_;
};

// Runs a shell command; its exit status, or -1 when it did not exit normally.
inline int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tbtest
