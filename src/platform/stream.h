// Data files read the way the original runtime's text-mode streams read them:
// a 0x0D byte is skipped (the next byte is taken without being tested again),
// a 0x1A byte reads as end of file. Positioning works on raw byte offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The directory the game's bare data file names are looked up in.
void setDataDirectory(const std::string& directory);
const std::string& dataDirectory();
std::string dataPath(const char* fileName);

// Far above what the game reads from any data file (the largest is under 70 KB):
// a bigger file is refused before it is read.
constexpr std::uint64_t kDataFileLimit = 16u << 20;

// Reads a whole regular file of at most `limit` bytes; on failure (missing, not a
// regular file, too large, unreadable) returns false and says why in `error`.
// Devices, FIFOs and directories are never opened for reading, so none can hang the game.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::uint64_t limit = kDataFileLimit);

// A data file that did not give the game what it reads: unreadable (`unreadable`
// says why) or read past its end. Collected for the front ends to warn about.
struct DataFileTrouble {
    std::string name;
    std::string unreadable;
    std::uint64_t size = 0;       // bytes in the file
    std::uint64_t delivered = 0;  // where the reading that ran out stood (bytes stored, or file position)
    bool endMarker = false;       // a 0x1A byte ended it before the end of the file
};
// The troubles met since the last call, one per file, in the order met.
std::vector<DataFileTrouble> takeDataFileTroubles();

class TextStream {
public:
    TextStream() = default;
    explicit TextStream(std::vector<std::uint8_t> bytes, std::string name = {})
        : bytes_(std::move(bytes)), name_(std::move(name)), open_(true) {}

    // Opens a data file by its bare name. A stream that failed to open reads as empty.
    static TextStream openData(const char* fileName);

    bool isOpen() const { return open_; }
    // Absolute (origin 0) or relative (origin 1) raw positioning; the position never goes below 0.
    void seek(long offset, int origin);
    // One byte through the text-mode filter, or -1 at end of file (and for a 0x1A byte).
    int getc();
    // Reads up to count items of size bytes; a 0x1A byte or the end of the file ends it.
    // Returns the number of complete items stored.
    std::size_t read(void* buffer, std::size_t size, std::size_t count);
    std::size_t position() const { return pos_; }

private:
    void ranOut(std::size_t delivered, bool endMarker);

    std::vector<std::uint8_t> bytes_;
    std::string name_;  // a data file's name: running out of it is noted as trouble
    std::size_t pos_ = 0;
    bool open_ = false;
};

}  // namespace platform
