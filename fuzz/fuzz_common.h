// Shared set-up of the fuzz targets: a private data directory that the game's
// file readers look in, and writing a fuzz input into it under a data file's name.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/display.h"
#include "platform/stream.h"

namespace fuzz {

// Makes (once) a fresh directory holding the five data files, empty, and
// points the game's data directory at it. Empty files read as zeros.
inline const std::string& dataDirectory() {
    static const std::string dir = [] {
        char name[] = "/tmp/tankbattle-fuzz-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        for (const char* file : {"Tank.ddo", "tex.bmp", "tex2.bmp", "expl.wav", "bumm.wav"}) {
            std::FILE* f = std::fopen((std::string(name) + "/" + file).c_str(), "wb");
            if (!f) std::abort();
            std::fclose(f);
        }
        platform::setDataDirectory(name);
        return std::string(name);
    }();
    return dir;
}

// Replaces one data file with the given bytes.
inline void writeDataFile(const char* fileName, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen((dataDirectory() + "/" + fileName).c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

// Once per process: the scratch data directory, then the display opened and the
// seven textures downloaded, as the game starts.
inline void openDisplayOnce() {
    static const bool ready = [] {
        dataDirectory();
        tb::initDisplay();
        return true;
    }();
    (void)ready;
}

// Stops the run (a crash the fuzzer keeps) when a checked property fails.
inline void require(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace fuzz
