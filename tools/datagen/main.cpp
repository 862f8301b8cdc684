// Writes the game's five data files into the directory named on the command line.
#include <cstdio>
#include <exception>
#include <string>

#include "data_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    try {
        for (const datagen::DataFile& file : datagen::allDataFiles()) {
            const std::string path = std::string(argv[1]) + "/" + file.name;
            std::FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(file.bytes.data(), 1, file.bytes.size(), f) != file.bytes.size() ||
                std::fclose(f) != 0) {
                std::fprintf(stderr, "datagen: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "datagen: %s\n", e.what());
        return 1;
    }
    return 0;
}
