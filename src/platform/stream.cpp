// Text-mode data file reading, byte for byte as the original runtime filtered it.
#include "stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {
std::string gDataDirectory = ".";
}

void setDataDirectory(const std::string& directory) { gDataDirectory = directory.empty() ? "." : directory; }
const std::string& dataDirectory() { return gDataDirectory; }
std::string dataPath(const char* fileName) { return gDataDirectory + "/" + fileName; }

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = "read error";
        return false;
    }
    return true;
}

TextStream TextStream::openData(const char* fileName) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!readWholeFile(dataPath(fileName), bytes, error)) return TextStream();
    return TextStream(std::move(bytes));
}

void TextStream::seek(long offset, int origin) {
    long long base = origin == 1 ? static_cast<long long>(pos_) : 0;
    long long target = base + offset;
    pos_ = target < 0 ? 0 : static_cast<std::size_t>(target);
}

int TextStream::getc() {
    if (pos_ >= bytes_.size()) return -1;
    std::uint8_t b = bytes_[pos_++];
    if (b == 0x0D) {
        if (pos_ >= bytes_.size()) return -1;
        b = bytes_[pos_++];
    }
    if (b == 0x1A) return -1;
    return b;
}

std::size_t TextStream::read(void* buffer, std::size_t size, std::size_t count) {
    if (size == 0 || count == 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t wanted = size * count;
    std::size_t stored = 0;
    while (stored < wanted && pos_ < bytes_.size()) {
        std::uint8_t b = bytes_[pos_++];
        if (b == 0x0D) {
            if (pos_ >= bytes_.size()) break;
            b = bytes_[pos_++];
        }
        if (b == 0x1A) break;
        out[stored++] = b;
    }
    return stored / size;
}

}  // namespace platform
