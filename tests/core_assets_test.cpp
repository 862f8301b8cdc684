// Start-up assets: the bitmap bytes read in text mode, the packed texture
// addresses, and the model file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/world.h"
#include "display/display.h"
#include "platform/glide/softglide.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A scratch directory that the game reads its data files from.
struct TempData : tbtest::ScratchDir {
    TempData() : ScratchDir("core_assets") { platform::setDataDirectory(path().string()); }
    ~TempData() { platform::setDataDirectory("."); }
    void remove(const char* name) const { fs::remove(*this / name); }
};

// A bitmap: 1078 bytes of headers and palette (never read), then the given pixel bytes.
Bytes bitmap(const Bytes& pixels) {
    Bytes b(1078 + pixels.size(), 0x0D);  // carriage returns in the skipped part must not matter
    std::copy(pixels.begin(), pixels.end(), b.begin() + 1078);
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
        std::uint32_t argb = 0;
        ASSERT_TRUE(softglide::textureTexel(tb::world.textureAddress[slot], &tb::world.textureInfo[slot], index, argb))
            << "slot " << slot << " texel " << index;
        EXPECT_EQ(argb, softglide::expandedTexel(expected, kFormats[slot]))
            << "slot " << slot << " texel " << index << " expected 0x" << std::hex << expected;
    }
    static void build() { tb::initDisplay(); }
};

TEST_F(AssetTextures, TexBmpBytesBecomeGreyLevelsFromTexel64InTextMode) {
    // Texel t shows pixel byte p as (p + 26) * 0x0421 + 0x8000; end of file reads as -1.
    auto grey = [](int p) { return std::uint16_t((p + 26) * 0x0421 + 0x8000); };
    struct Case {
        const char* what;
        std::vector<std::pair<int, std::uint8_t>> bytes;  // pixel bytes set in a file of 16384 zeros
        bool present;
        std::vector<std::pair<int, int>> texels;  // texel, byte it shows
    };
    const Case cases[] = {
        // 0x0D is skipped: pixel 1 reads the byte after it, every later pixel moves up by one, and
        // the last pixel (texel 63) finds the end of the file.
        {"carriage return",
         {{0, 3}, {1, 0x0D}, {2, 1}, {16383 - 64, 2}},
         true,
         {{64, 3}, {65, 1}, {16382, 2}, {63, -1}, {0, 0}}},
        {"control Z and overflow", {{0, 255}, {1, 0x1A}, {2, 6}}, true, {{64, 255}, {65, -1}, {66, 6}}},
        {"missing file", {}, false, {{0, -1}, {64, -1}, {16383, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Bytes pixels(16384, 0);
        for (auto [at, value] : c.bytes) pixels[std::size_t(at)] = value;
        if (c.present)
            data.write("tex.bmp", bitmap(pixels));
        else
            data.remove("tex.bmp");
        build();
        for (auto [texel, byte] : c.texels) expectTexel(2, texel, grey(byte));
    }
}

TEST_F(AssetTextures, Tex2TripletsStepBackOnRawBytesWhenTheSecondCarriesAChannel) {
    struct Case {
        Bytes pixels;
        std::vector<std::uint16_t> texels;  // from texel 26 on
    };
    const Case cases[] = {
        // 10 00 20: no step back; 30 40 50 steps back to 50; then 50 00 60; then the end of the file.
        {{0x10, 0x00, 0x20, 0x30, 0x40, 0x50, 0x00, 0x60}, {0x0000, 0x1120, 0x3354, 0x5560, 0x0000}},
        // 10 30 0D 20: the third read skips the 0x0D and takes 20; the step back lands on the 20 itself.
        {{0x10, 0x30, 0x0D, 0x20, 0x00, 0x40}, {0x0000, 0x1123, 0x2240}},
    };
    for (const Case& c : cases) {
        SetUp();
        data.write("tex2.bmp", bitmap(c.pixels));
        build();
        for (std::size_t i = 0; i < c.texels.size(); ++i) expectTexel(6, int(26 + i), c.texels[i]);
    }
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
    static Bytes records(int count) {
        Bytes file;
        for (int i = 0; i < count; ++i) {
            const Bytes r = record(i == 5 ? 10 : 1, 2.5f + float(i % 32), 0x0A0A);
            file.insert(file.end(), r.begin(), r.end());
        }
        return file;
    }
};

TEST_F(AssetModel, CarriageReturnBeforeLineFeedLoadsTheLineFeedAlone) {
    // 0x0A inside the values: present 10, x0 with a 0x0A byte, texture 0x0A0A.
    const Bytes file = records(420);
    ASSERT_EQ(std::count(file.begin(), file.end(), 0x0D) + std::count(file.begin(), file.end(), 0x1A), 0);
    ASSERT_GT(std::count(file.begin(), file.end(), 0x0A), 800);
    data.write("Tank.ddo", textMode(file));
    tb::loadModel();
    EXPECT_EQ(std::memcmp(&tb::world.model, file.data(), file.size()), 0);
}

TEST_F(AssetModel, AShortFileOrControlZLeavesTheRestZeroAndExtraBytesAreIgnored) {
    struct Case {
        int records, controlZ, loaded;
    };  // controlZ: byte offset of a 0x1A, or -1
    const Case cases[] = {{4, 2 * 116 + 20, 2 * 116 + 20}, {100, -1, 100 * 116}, {421, -1, 420 * 116}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records, 0x1A at " << c.controlZ);
        SetUp();
        Bytes file = records(c.records);
        if (c.controlZ >= 0) file[std::size_t(c.controlZ)] = 0x1A;
        data.write("Tank.ddo", file);
        tb::loadModel();
        const std::uint8_t* loaded = reinterpret_cast<const std::uint8_t*>(&tb::world.model);
        EXPECT_EQ(std::memcmp(loaded, file.data(), std::size_t(c.loaded)), 0);
        int nonZero = 0;
        for (int i = c.loaded; i < 420 * 116; ++i) nonZero += loaded[i] != 0;
        EXPECT_EQ(nonZero, 0);
        EXPECT_EQ(tb::world.textureSize[0], 0u);  // the model buffer's neighbours are untouched
    }
}

}  // namespace
