// Writes a frame of 0xAARRGGBB pixels as an RGB PNG (alpha dropped).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Rows top first, w pixels a row. On failure returns false with a message
// naming the file and the reason in `error`.
bool writePng(const std::string& path, const std::uint32_t* pixels, int w, int h, std::string& error);

// The next name of the series tankbattle-001.png, -002, ... in `directory` after
// number `last` that no file has yet (so earlier sessions' pictures are kept);
// `last` becomes its number.
std::string nextScreenshotPath(const std::string& directory, int& last);

}  // namespace platform
