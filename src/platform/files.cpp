// Durable replacement of files: fsync of the data, rename, fsync of the directory.
#include "files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform {

bool syncFile(std::FILE* file) { return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0; }

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        error = "\"" + to + "\": " + std::strerror(errno);
        return false;
    }
    // The rename is an entry of the directory: it lasts a power cut once the directory is synced.
    std::filesystem::path dir = std::filesystem::path(to).parent_path();
    if (dir.empty()) dir = ".";
    if (const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

}  // namespace platform
