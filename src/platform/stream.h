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

// Reads a whole file; on failure returns false and says why in `error`.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

class TextStream {
public:
    TextStream() = default;
    explicit TextStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), open_(true) {}

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
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool open_ = false;
};

}  // namespace platform
