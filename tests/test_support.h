// Helpers shared by the game's tests: the random generator written out the long
// way, a sound service that logs what it is asked to play, scratch directories,
// small WAV files and running the built game.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// How many records of a table are in use.
template <class Table>
int active(const Table& table) {
    return int(std::count_if(std::begin(table), std::end(table), [](const auto& r) { return r.active != 0; }));
}

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Whitespace-separated words, or lines, of a text.
inline std::vector<std::string> split(const std::string& text, bool byLine) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; byLine ? bool(std::getline(in, w)) : bool(in >> w);) out.push_back(w);
    return out;
}
inline std::vector<std::string> words(const std::string& text) { return split(text, false); }
inline std::vector<std::string> lines(const std::string& text) { return split(text, true); }

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
        writeText(path_ / name, std::string(bytes.begin(), bytes.end()));
    }
    void write(const std::string& name, const char* text) const { writeText(path_ / name, text); }

private:
    fs::path path_;
};

// A PCM WAV file holding these raw sample bytes.
inline std::string wav(int frequency, int channels, int bits, const std::string& data) {
    std::string out;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
    };
    out += "RIFF", put(std::uint32_t(36 + data.size()), 4), out += "WAVEfmt ", put(16, 4), put(1, 2);
    put(std::uint32_t(channels), 2), put(std::uint32_t(frequency), 4);
    put(std::uint32_t(frequency * channels * bits / 8), 4), put(std::uint32_t(channels * bits / 8), 2);
    put(std::uint32_t(bits), 2), out += "data", put(std::uint32_t(data.size()), 4);
    return out + data;
}

// count 16-bit samples of one value.
inline std::string s16Samples(int count, std::int16_t value) {
    std::string out;
    for (int i = 0; i < count; ++i) out += char(value & 0xFF), out += char((value >> 8) & 0xFF);
    return out;
}

// Runs a shell command; its exit status, or -1 when it did not exit normally.
inline int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the built game with these arguments, its standard error to `err`.
inline int runGame(const std::string& arguments, const fs::path& err) {
    return run("timeout 120 '" TANKBATTLE_EXECUTABLE "' " + arguments + " 2>'" + err.string() + "'");
}

}  // namespace tbtest
