// The generated data files: the model loads back exactly as designed through the
// game's text-mode loader, the bitmaps give the designed texels under the game's
// reading rules, the sounds are clean PCM WAV files, and the build wrote them.
// (What the design looks like in the game is held by the regression run.)
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/world.h"
#include "datagen/data_files.h"
#include "datagen/model_design.h"
#include "display/display.h"
#include "platform/glide/softglide.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

using datagen::Bytes;

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t le16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

// A private data directory, so the game's loaders can read a generated file.
struct DataDir : tbtest::ScratchDir {
    std::string previous = platform::dataDirectory();
    DataDir() : ScratchDir("datagen") { platform::setDataDirectory(path().string()); }
    ~DataDir() { platform::setDataDirectory(previous); }
};

// SDL reads the bitmaps at their designed sizes, and the game, reading them its
// own way (text mode, offset starts, a stepping-back colour reader), gets the
// designed texels.
TEST(DatagenBitmaps, TheGameReadsTheDesignedTexels) {
    for (const auto& [file, width, height, bits] :
         {std::tuple(datagen::panelBitmap(), 256, 64, 8), std::tuple(datagen::colourBitmap(), 64, 64, 24)}) {
        SDL_Surface* bmp = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), int(file.size())), 1);
        ASSERT_NE(bmp, nullptr) << SDL_GetError();
        EXPECT_EQ(std::tuple(bmp->w, bmp->h, int(bmp->format->BitsPerPixel)), std::tuple(width, height, bits));
        SDL_FreeSurface(bmp);
        EXPECT_EQ(le32(file, 10), 1078u);  // the game reads the pixels from here
    }
    DataDir dir;
    dir.write("tex.bmp", datagen::panelBitmap());
    dir.write("tex2.bmp", datagen::colourBitmap());
    tb::world = tb::WorldState{};
    tb::initDisplay();
    auto texel = [](int slot, int i) {
        std::uint32_t argb = 0;
        EXPECT_TRUE(softglide::textureTexel(tb::world.textureAddress[slot], &tb::world.textureInfo[slot], i, argb));
        return argb;
    };
    const std::vector<std::uint8_t> levels = datagen::panelLevels();
    ASSERT_EQ(levels.size(), 16384u);
    for (int i = 0; i < 16384; ++i)
        ASSERT_EQ(texel(2, i),
                  softglide::expandedTexel(std::uint16_t((levels[i] + 26) * 0x0421 + 0x8000), GR_TEXFMT_ARGB_1555))
            << "tex.bmp texel " << i;
    const std::vector<datagen::ColourTexel> colours = datagen::colourTexels();
    ASSERT_EQ(colours.size(), 4096u);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(texel(6, i), softglide::expandedTexel(colours[i].argb4444(), GR_TEXFMT_ARGB_4444))
            << "tex2.bmp texel " << i;
    // The design uses what it claims: fire, foliage and plain white all present.
    int blue = 0, translucent = 0;
    for (const datagen::ColourTexel& t : colours) blue += t.blue != 0, translucent += t.alpha > 0 && t.alpha < 15;
    EXPECT_TRUE(blue > 256 && translucent > 256) << blue << " " << translucent;
}

TEST(DatagenSounds, SixteenBitMonoPcmOfTheirLengthLoudAndFadedToSilence) {
    const std::tuple<const char*, Bytes, double, double> sounds[] = {{"bumm.wav", datagen::cannonSound(), 0.4, 0.6},
                                                                     {"expl.wav", datagen::explosionSound(), 1.3, 1.7}};
    for (const auto& [name, b, minSeconds, maxSeconds] : sounds) {
        SCOPED_TRACE(name);
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(le32(b, 40), b.size() - 44);  // one data chunk, right after a plain header
        SDL_AudioSpec spec;
        Uint8* buffer = nullptr;
        Uint32 length = 0;
        ASSERT_NE(SDL_LoadWAV_RW(SDL_RWFromConstMem(b.data(), int(b.size())), 1, &spec, &buffer, &length), nullptr)
            << SDL_GetError();
        SDL_FreeWAV(buffer);
        EXPECT_EQ(std::tuple(spec.format, int(spec.channels), length),
                  std::tuple(AUDIO_S16LSB, 1, Uint32(b.size() - 44)));
        const double seconds = double(length) / (spec.freq * 2);
        EXPECT_TRUE(seconds >= minSeconds && seconds <= maxSeconds) << seconds;
        // Loud without clipping, no click at the start, a quiet last 20 ms, not silent in the middle.
        int peak = 0, loud = 0, tailPeak = 0;
        const std::size_t tailStart = b.size() - 2 * (datagen::kSampleRate / 50);
        for (std::size_t i = 44; i + 1 < b.size(); i += 2) {
            const int v = std::abs(int(std::int16_t(le16(b, i))));
            peak = std::max(peak, v), loud += v > 3000;
            if (i >= tailStart) tailPeak = std::max(tailPeak, v);
        }
        EXPECT_TRUE(peak > 26000 && peak < 32767) << peak;
        EXPECT_EQ(le16(b, 44), 0);
        EXPECT_LE(std::abs(std::int16_t(le16(b, b.size() - 2))), 2);
        EXPECT_LT(tailPeak, 2000);
        EXPECT_GT(loud, int(length / 100));
    }
}

TEST(DatagenFiles, BuildWroteTheCurrentDesign) {
    for (const datagen::DataFile& file : datagen::allDataFiles()) {
        Bytes onDisk;
        std::string error;
        ASSERT_TRUE(platform::readWholeFile(std::string(TANKBATTLE_GENERATED_DATA) + "/" + file.name, onDisk, error))
            << file.name << ": " << error;
        EXPECT_EQ(onDisk, file.bytes) << file.name;
    }
}

}  // namespace
