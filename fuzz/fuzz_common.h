// Shared set-up of the fuzz targets: a private data directory that the game's
// file readers look in, and writing a fuzz input into it under a data file's name.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/world.h"
#include "display/display.h"
#include "platform/stream.h"

namespace fuzz {

constexpr const char* kDataFiles[] = {"Tank.ddo", "tex.bmp", "tex2.bmp", "expl.wav", "bumm.wav"};

// A fresh directory holding the five data files, empty (they read as zeros),
// removed at exit. It is made in memory where the system offers it
// (/dev/shm): a disk's file system writes a truncated file back to the disk
// at its close, which would be every input.
struct ScratchDirectory {
    std::string path;
    ScratchDirectory() {
        char shm[] = "/dev/shm/tankbattle-fuzz-XXXXXX", tmp[] = "/tmp/tankbattle-fuzz-XXXXXX";
        const char* name = ::mkdtemp(shm) ? shm : ::mkdtemp(tmp);
        if (!name) std::abort();
        path = name;
        for (const char* file : kDataFiles) {
            std::FILE* f = std::fopen((path + "/" + file).c_str(), "wb");
            if (!f) std::abort();
            std::fclose(f);
        }
    }
    ~ScratchDirectory() {
        for (const char* file : kDataFiles) std::remove((path + "/" + file).c_str());
        ::rmdir(path.c_str());
    }
};

// The scratch directory, made once, with the game's data directory pointed at it.
inline const std::string& dataDirectory() {
    static const ScratchDirectory dir;
    static const bool pointed = [] {
        platform::setDataDirectory(dir.path);
        return true;
    }();
    (void)pointed;
    return dir.path;
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

// The input as "Tank.ddo", loaded into the world's model; first the text-mode
// reader alone on it: a block read never stores more than asked, whole items
// only count, and positioning may go past the end but never below the start.
inline void loadModelFrom(const std::uint8_t* data, std::size_t size) {
    platform::TextStream stream(std::vector<std::uint8_t>(data, data + size));
    std::vector<std::uint8_t> out(sizeof(tb::ModelTriangle) * 3 + 1, 0xAB);
    std::size_t items = stream.read(out.data(), sizeof(tb::ModelTriangle), 3);
    require(items <= 3 && out.back() == 0xAB);
    stream.seek(size > 7 ? long(data[7]) - 128 : -1, 1);
    while (stream.getc() >= 0) {
    }
    stream.seek(-long(stream.position()) - 5, 1);
    require(stream.position() == 0);

    writeDataFile("Tank.ddo", data, size);
    std::memset(&tb::world.model, 0, sizeof tb::world.model);
    tb::loadModel();
}

// The input as the two bitmaps: its first two bytes (little-endian) give the
// length of "tex.bmp", the rest after it is "tex2.bmp". False when too short.
inline bool writeBitmaps(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return false;
    std::size_t first = std::size_t(data[0] | (data[1] << 8));
    data += 2;
    size -= 2;
    if (first > size) first = size;
    writeDataFile("tex.bmp", data, first);
    writeDataFile("tex2.bmp", data + first, size - first);
    return true;
}

}  // namespace fuzz
