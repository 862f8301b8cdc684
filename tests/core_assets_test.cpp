// Start-up assets: the seven textures (generated texels, bitmap bytes read in
// text mode, packed addresses, the 8192 random numbers) and the model file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/world.h"
#include "display/display.h"
#include "platform/glide/internal.h"
#include "platform/stream.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class TempData {
public:
    TempData() {
        dir_ = fs::temp_directory_path() / ("tankbattle_core_assets_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        platform::setDataDirectory(dir_.string());
    }
    ~TempData() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        platform::setDataDirectory(".");
    }
    void write(const char* name, const Bytes& bytes) const {
        std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void remove(const char* name) const { fs::remove(dir_ / name); }

private:
    fs::path dir_;
};

// A bitmap: 1078 bytes of headers and palette (never read), then the given pixel bytes.
Bytes bitmap(const Bytes& pixels) {
    Bytes b(1078, 0x0D);  // carriage returns in the skipped part must not matter
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

constexpr GrTextureFormat_t kFormats[7] = {GR_TEXFMT_ARGB_1555, GR_TEXFMT_ARGB_1555, GR_TEXFMT_ARGB_1555,
                                           GR_TEXFMT_ARGB_4444, GR_TEXFMT_ARGB_8332, GR_TEXFMT_ARGB_8332,
                                           GR_TEXFMT_ARGB_4444};

class AssetTextures : public ::testing::Test {
protected:
    TempData data;
    void SetUp() override { tb::world = tb::WorldState{}; }

    // Texel `index` of a slot as texture memory holds it, against the 16-bit value expected there.
    static void expectTexel(int slot, int index, std::uint16_t expected) {
        const softglide::detail::TextureView view = softglide::detail::selectTexture(
            tb::world.textureAddress[slot], GR_MIPMAPLEVELMASK_BOTH, &tb::world.textureInfo[slot]);
        ASSERT_TRUE(view.valid()) << "slot " << slot;
        ASSERT_LT(index, view.width * view.height);
        EXPECT_EQ(softglide::detail::unspread(view.texels[index]),
                  softglide::detail::expandTexel(expected, kFormats[slot]))
            << "slot " << slot << " texel " << index << " expected 0x" << std::hex << expected;
    }
    static void build() { tb::initDisplay(); }
};

TEST_F(AssetTextures, NoiseTexturesTakeTheFirst8192NumbersAfterSeeding42) {
    tb::world.randomState = 777;
    build();
    std::uint32_t state = 42;
    for (int i = 0; i < 8192; ++i) state = state * 1103515245u + 12345u;
    EXPECT_EQ(tb::world.randomState, state);
}

TEST_F(AssetTextures, NoiseTexelsAreGreyLevelsFromTheRandomSequence) {
    build();
    std::uint32_t state = 42;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return int((state >> 16) & 0x7FFF);
    };
    std::vector<int> first(4096), second(4096);
    for (int& v : first) v = next() % 6 + 26;
    for (int& v : second) v = next() % 6 + 10;
    for (int i : {0, 1, 2, 63, 64, 2047, 4095}) {
        expectTexel(0, i, std::uint16_t(first[i] * 0x0421 + 0x8000));
        expectTexel(3, i, std::uint16_t(second[i] * 0x0111 + 0x8000));
    }
}

TEST_F(AssetTextures, TrackStripesAlternateOpaqueWhiteAndTransparentGrey) {
    build();
    const char* rows[4] = {"####--------####", "----########----", "####--------####", "----########----"};
    for (int k = 0; k < 64; ++k) expectTexel(1, k, rows[k / 16][k % 16] == '#' ? 0xFFFF : 0x6B5A);
}

TEST_F(AssetTextures, SpotsPeakAtTheCentreAndVanishAtTheCorners) {
    build();
    expectTexel(4, 32 * 64 + 32, 0x2AFF);
    expectTexel(5, 32 * 64 + 32, 0xC4FF);
    expectTexel(4, 0, 0x00FF);
    expectTexel(5, 0, 0x00FF);
    // One texel from the centre: distance 8, alpha (255 - 8) / 6 = 41 and trunc(247 * 10 / 13) = 190.
    expectTexel(4, 32 * 64 + 33, 0x29FF);
    expectTexel(5, 31 * 64 + 32, 0xBEFF);
}

TEST_F(AssetTextures, TexBmpPixelsBecomeGreyLevelsFromTexel64) {
    Bytes pixels(16384, 0);
    pixels[0] = 3;
    pixels[1] = 0x0D;  // skipped: pixel 1 reads the 1 after it, and every later pixel moves up by one
    pixels[2] = 1;
    pixels[16383 - 64] = 2;  // read as pixel 16318 -> texel 16382
    data.write("tex.bmp", bitmap(pixels));
    build();
    expectTexel(2, 64, 0xF7BD);                                  // 29 * 0x0421 + 0x8000
    expectTexel(2, 65, std::uint16_t(27 * 0x0421 + 0x8000));     // the byte after the 0x0D
    expectTexel(2, 16382, std::uint16_t(28 * 0x0421 + 0x8000));
    // The file ran out one byte early: the last pixel, which lands on texel 63, reads as end of file.
    expectTexel(2, 63, std::uint16_t(25 * 0x0421 + 0x8000));
    expectTexel(2, 0, std::uint16_t(26 * 0x0421 + 0x8000));
}

TEST_F(AssetTextures, TexBmpValuesOverflowIntoTheNextChannelAndControlZReadsAsEndOfFile) {
    Bytes pixels(16384, 0);
    pixels[0] = 255;
    pixels[1] = 0x1A;
    pixels[2] = 6;
    data.write("tex.bmp", bitmap(pixels));
    build();
    expectTexel(2, 64, std::uint16_t((255 + 26) * 0x0421 + 0x8000));
    expectTexel(2, 65, std::uint16_t(25 * 0x0421 + 0x8000));
    expectTexel(2, 66, std::uint16_t(32 * 0x0421 + 0x8000));
}

TEST_F(AssetTextures, AMissingTexBmpReadsAsEndOfFileEverywhere) {
    data.remove("tex.bmp");
    build();
    for (int i : {0, 64, 16383}) expectTexel(2, i, std::uint16_t(25 * 0x0421 + 0x8000));
}

TEST_F(AssetTextures, Tex2TripletsStepBackWhenTheSecondByteCarriesAChannel) {
    // 10 00 20: no step back; next texel from 30 40 50 steps back to 50; then 50 00 60.
    data.write("tex2.bmp", bitmap({0x10, 0x00, 0x20, 0x30, 0x40, 0x50, 0x00, 0x60}));
    build();
    const std::uint16_t* t = tb::world.texelScratch;  // slot 6 is the last texture built
    EXPECT_EQ(t[27], 0x1120);
    EXPECT_EQ(t[28], 0x3354);
    EXPECT_EQ(t[29], 0x5560);
    EXPECT_EQ(t[30], 0x0000);  // the end of the file reads as zero channels
    EXPECT_EQ(t[26], 0x0000);
    expectTexel(6, 28, 0x3354);
}

TEST_F(AssetTextures, Tex2StepBackIsOnRawBytes) {
    // 10 30 0D 20: the third read skips the 0x0D and takes 20; the step back
    // lands on the 20 itself, so the next texel starts 20 00 40.
    data.write("tex2.bmp", bitmap({0x10, 0x30, 0x0D, 0x20, 0x00, 0x40}));
    build();
    const std::uint16_t* t = tb::world.texelScratch;
    EXPECT_EQ(t[27], 0x1123);
    EXPECT_EQ(t[28], 0x2240);
}

TEST_F(AssetTextures, SlotsArePackedOneAfterAnother) {
    build();
    EXPECT_EQ(tb::world.textureAddress[0], grTexMinAddress(GR_TMU0));
    for (int s = 1; s < 7; ++s) {
        EXPECT_GT(tb::world.textureSize[s - 1], 0u);
        EXPECT_EQ(tb::world.textureAddress[s], tb::world.textureAddress[s - 1] + tb::world.textureSize[s - 1]) << s;
    }
    const struct {
        GrLOD_t lod;
        GrAspectRatio_t aspect;
    } shapes[7] = {{GR_LOD_64, GR_ASPECT_1x1}, {GR_LOD_16, GR_ASPECT_4x1}, {GR_LOD_256, GR_ASPECT_4x1},
                   {GR_LOD_64, GR_ASPECT_1x1}, {GR_LOD_64, GR_ASPECT_1x1}, {GR_LOD_64, GR_ASPECT_1x1},
                   {GR_LOD_64, GR_ASPECT_1x1}};
    for (int s = 0; s < 7; ++s) {
        const GrTexInfo& info = tb::world.textureInfo[s];
        EXPECT_EQ(info.largeLod, shapes[s].lod) << s;
        EXPECT_EQ(info.smallLod, shapes[s].lod) << s;
        EXPECT_EQ(info.aspectRatio, shapes[s].aspect) << s;
        EXPECT_EQ(info.format, kFormats[s]) << s;
        EXPECT_EQ(info.data, static_cast<void*>(tb::world.texelScratch)) << s;
    }
}

// ---- the model file ----

// One 116-byte record with recognisable values.
Bytes record(std::int32_t present, float x0, std::int32_t texture) {
    tb::ModelTriangle t{};
    t.present = present;
    t.x[0] = x0;
    t.red[1] = 200.0f;
    t.alpha[2] = 17.0f;
    t.t[2] = -3.5f;
    t.texture = texture;
    Bytes b(sizeof t);
    std::memcpy(b.data(), &t, sizeof t);
    return b;
}

// Writes bytes as a text-mode writer would: 0x0D before every 0x0A.
Bytes textMode(const Bytes& raw) {
    Bytes out;
    for (std::uint8_t b : raw) {
        if (b == 0x0A) out.push_back(0x0D);
        out.push_back(b);
    }
    return out;
}

class AssetModel : public ::testing::Test {
protected:
    TempData data;
    void SetUp() override { tb::world = tb::WorldState{}; }
    static bool isZero(const tb::ModelTriangle& t) {
        const tb::ModelTriangle zero{};
        return std::memcmp(&t, &zero, sizeof t) == 0;
    }
};

TEST_F(AssetModel, CarriageReturnBeforeLineFeedLoadsTheLineFeedAlone) {
    // 0x0A inside the values: present 10, x0 with a 0x0A byte, texture 0x0A0A.
    Bytes file;
    for (int i = 0; i < 420; ++i) {
        const Bytes r = record(i == 5 ? 10 : 1, 2.5f + float(i % 32), 0x0A0A);
        file.insert(file.end(), r.begin(), r.end());
    }
    ASSERT_EQ(std::count(file.begin(), file.end(), 0x0D) + std::count(file.begin(), file.end(), 0x1A), 0);
    ASSERT_GT(std::count(file.begin(), file.end(), 0x0A), 800);
    data.write("Tank.ddo", textMode(file));
    tb::loadModel();
    EXPECT_EQ(std::memcmp(&tb::world.model, file.data(), file.size()), 0);
    EXPECT_EQ(tb::world.model.triangles[5].present, 10);
    EXPECT_EQ(tb::world.model.triangles[419].texture, 0x0A0A);
}

TEST_F(AssetModel, ControlZStopsLoadingInsideTheRecord) {
    Bytes file;
    for (int i = 0; i < 4; ++i) {
        const Bytes r = record(1, 1.0f, 2);
        file.insert(file.end(), r.begin(), r.end());
    }
    file[2 * 116 + 20] = 0x1A;  // inside record 2's y
    data.write("Tank.ddo", file);
    tb::loadModel();
    const std::uint8_t* loaded = reinterpret_cast<const std::uint8_t*>(&tb::world.model);
    EXPECT_EQ(std::memcmp(loaded, file.data(), 2 * 116 + 20), 0);
    for (int i = 2 * 116 + 20; i < 3 * 116; ++i) EXPECT_EQ(loaded[i], 0) << i;
    EXPECT_TRUE(isZero(tb::world.model.triangles[3]));
    EXPECT_EQ(tb::world.model.triangles[2].present, 1);
}

TEST_F(AssetModel, ATruncatedFileLeavesTheRestZero) {
    Bytes file;
    for (int i = 0; i < 100; ++i) {
        const Bytes r = record(1, float(i), 3);
        file.insert(file.end(), r.begin(), r.end());
    }
    data.write("Tank.ddo", file);
    tb::loadModel();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(tb::world.model.triangles[i].x[0], float(i));
    // Meshes 0 to 3 complete, mesh 4 (first triangle 84) with its first 16 triangles.
    EXPECT_EQ(tb::world.model.triangles[99].present, 1);
    for (int i = 100; i < 420; ++i) EXPECT_TRUE(isZero(tb::world.model.triangles[i])) << i;
}

TEST_F(AssetModel, ExtraBytesAfter420RecordsAreIgnored) {
    Bytes file;
    for (int i = 0; i < 421; ++i) {
        const Bytes r = record(1, float(i % 100), 4);
        file.insert(file.end(), r.begin(), r.end());
    }
    data.write("Tank.ddo", file);
    tb::loadModel();
    EXPECT_EQ(tb::world.model.triangles[419].x[0], 19.0f);
    EXPECT_EQ(tb::world.textureSize[0], 0u);  // the model buffer's neighbours are untouched
}

}  // namespace
