// The five data files of the game, built in memory: the model, the two bitmaps
// and the two sounds, byte for byte as they are written to the data directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/world.h"

namespace datagen {

using Bytes = std::vector<std::uint8_t>;

// The game reads its files in text mode: 0x0D is skipped and 0x1A ends the file.
inline bool byteIsFileSafe(std::uint8_t b) { return b != 0x0D && b != 0x1A; }
inline bool wordIsFileSafe(std::uint32_t w) {
    for (int i = 0; i < 4; ++i)
        if (!byteIsFileSafe(std::uint8_t(w >> (8 * i)))) return false;
    return true;
}

// What a text-mode writer makes of raw bytes: every 0x0A gets a 0x0D before it.
Bytes textModeWrite(const Bytes& raw);

// "Tank.ddo": the records, little-endian, written in text mode.
Bytes modelFile(const std::vector<tb::ModelTriangle>& records);

// The panel atlas as the game builds texture slot 2: 256 x 64 grey levels 0..5
// (shown as 26..31 of 31), row 0 first.
constexpr int kPanelWidth = 256, kPanelHeight = 64;
std::vector<std::uint8_t> panelLevels();
// "tex.bmp": an 8-bit palettised bitmap whose pixel bytes, read from offset 1078,
// land on the panel levels (the game stores pixel n at texel n + 64).
Bytes panelBitmap();

// The colour texture as the game builds texture slot 6: 64 x 64 texels of four-bit
// alpha (which is also red), green and blue, row 0 first. Where blue is not zero
// the game reads green again as the next texel's alpha, so the design is adjusted
// until every such green equals the following alpha.
constexpr int kColourSize = 64;
struct ColourTexel {
    std::uint8_t alpha, green, blue;  // 0..15 each
    std::uint16_t argb4444() const { return std::uint16_t(alpha * 0x1100 + green * 0x10 + blue); }
};
std::vector<ColourTexel> colourTexels();
// "tex2.bmp": a 24-bit bitmap whose bytes from offset 1078 give the colour texels
// under the game's three-bytes-and-step-back reading.
Bytes colourBitmap();

// The sounds: 16-bit mono PCM WAV files.
constexpr int kSampleRate = 22050;
Bytes cannonSound();     // "bumm.wav", a cannon shot of half a second
Bytes explosionSound();  // "expl.wav", a heavy explosion of a second and a half

struct DataFile {
    std::string name;
    Bytes bytes;
};
// All five files, in a fixed order.
std::vector<DataFile> allDataFiles();

}  // namespace datagen
