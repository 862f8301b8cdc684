// Text-mode data file reading, byte for byte as the original runtime filtered it.
#include "stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {
namespace {
std::string gDataDirectory = ".";
std::vector<DataFileTrouble> gTroubles;

void noteTrouble(DataFileTrouble trouble) {
    for (const DataFileTrouble& t : gTroubles)
        if (t.name == trouble.name) return;
    gTroubles.push_back(std::move(trouble));
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}
}  // namespace

std::vector<DataFileTrouble> takeDataFileTroubles() { return std::exchange(gTroubles, {}); }

void setDataDirectory(const std::string& directory) { gDataDirectory = directory.empty() ? "." : directory; }
const std::string& dataDirectory() { return gDataDirectory; }
std::string dataPath(const char* fileName) { return gDataDirectory + "/" + fileName; }

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error, std::uint64_t limit) {
    bytes.clear();
    // Looked at before opening, since opening a FIFO waits for a writer; looked at
    // again once open, in case the name was replaced in between.
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const int fd = S_ISREG(info.st_mode) ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (fd >= 0 && ::fstat(fd, &info) != 0) info.st_mode = 0;
    if (!S_ISREG(info.st_mode)) {
        if (fd >= 0) ::close(fd);
        error = std::string("not a regular file (") + kindOf(info.st_mode) + ")";
        return false;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (std::uint64_t(info.st_size) > limit) {
        ::close(fd);
        error =
            "too large: " + std::to_string(info.st_size) + " bytes (at most " + std::to_string(limit) + " are read)";
        return false;
    }
    // Never more than the limit, even from a file that grows while it is read.
    bytes.resize(std::size_t(info.st_size));
    std::size_t got = 0;
    bool failed = false;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() >= limit) break;
            bytes.resize(std::min<std::uint64_t>(limit, bytes.size() + 65536));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed = n < 0;
            break;
        }
        got += std::size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    if (failed) {
        error = "read error";
        return false;
    }
    return true;
}

TextStream TextStream::openData(const char* fileName) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!readWholeFile(dataPath(fileName), bytes, error)) {
        noteTrouble({fileName, error, 0, 0, false});
        return TextStream();
    }
    return TextStream(std::move(bytes), fileName);
}

void TextStream::ranOut(std::size_t delivered, bool endMarker) {
    if (name_.empty()) return;
    noteTrouble({name_, {}, bytes_.size(), delivered, endMarker});
    name_.clear();
}

void TextStream::seek(long offset, int origin) {
    long long base = origin == 1 ? static_cast<long long>(pos_) : 0;
    long long target = base + offset;
    pos_ = target < 0 ? 0 : static_cast<std::size_t>(target);
}

int TextStream::getc() {
    const std::size_t start = pos_;
    if (pos_ >= bytes_.size()) {
        if (!name_.empty()) ranOut(start, false);  // noted once; readers often go on past the end
        return -1;
    }
    std::uint8_t b = bytes_[pos_++];
    if (b == 0x0D) {
        if (pos_ >= bytes_.size()) return ranOut(start, false), -1;
        b = bytes_[pos_++];
    }
    if (b == 0x1A) return ranOut(start, true), -1;
    return b;
}

std::size_t TextStream::read(void* buffer, std::size_t size, std::size_t count) {
    if (size == 0 || count == 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t wanted = size * count;
    std::size_t stored = 0;
    bool endMarker = false;
    while (stored < wanted && pos_ < bytes_.size()) {
        std::uint8_t b = bytes_[pos_++];
        if (b == 0x0D) {
            if (pos_ >= bytes_.size()) break;
            b = bytes_[pos_++];
        }
        if ((endMarker = b == 0x1A)) break;
        out[stored++] = b;
    }
    if (stored < wanted) ranOut(stored, endMarker);
    return stored / size;
}

}  // namespace platform
