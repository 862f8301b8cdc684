// Start-up assets: the text-mode reader (how 0x0D and 0x1A bytes change what
// the game reads), the bitmap bytes, the packed texture addresses and the model file.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "core/world.h"
#include "datagen/data_files.h"
#include "display/display.h"
#include "platform/glide/softglide.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::TextStream;

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
    const struct {
        const char* what;
        std::vector<std::pair<int, std::uint8_t>> bytes;  // pixel bytes set in a file of 16384 zeros
        bool present;
        std::vector<std::pair<int, int>> texels;  // texel, byte it shows
    } cases[] = {
        // 0x0D is skipped: pixel 1 reads the byte after it, every later pixel moves up by one, and
        // the last pixel (texel 63) finds the end of the file.
        {"carriage return",
         {{0, 3}, {1, 0x0D}, {2, 1}, {16383 - 64, 2}},
         true,
         {{64, 3}, {65, 1}, {16382, 2}, {63, -1}, {0, 0}}},
        {"control Z and overflow", {{0, 255}, {1, 0x1A}, {2, 6}}, true, {{64, 255}, {65, -1}, {66, 6}}},
        {"missing file", {}, false, {{0, -1}, {64, -1}, {16383, -1}}},
    };
    for (const auto& c : cases) {
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
    const struct {
        Bytes pixels;
        std::vector<std::uint16_t> texels;  // from texel 26 on
    } cases[] = {
        // 10 00 20: no step back; 30 40 50 steps back to 50; then 50 00 60; then the end of the file.
        {{0x10, 0x00, 0x20, 0x30, 0x40, 0x50, 0x00, 0x60}, {0x0000, 0x1120, 0x3354, 0x5560, 0x0000}},
        // 10 30 0D 20: the third read skips the 0x0D and takes 20; the step back lands on the 20 itself.
        {{0x10, 0x30, 0x0D, 0x20, 0x00, 0x40}, {0x0000, 0x1123, 0x2240}},
    };
    for (const auto& c : cases) {
        SetUp();
        data.write("tex2.bmp", bitmap(c.pixels));
        build();
        for (std::size_t i = 0; i < c.texels.size(); ++i) expectTexel(6, int(26 + i), c.texels[i]);
    }
}

class AssetModel : public ::testing::Test {
protected:
    TempData data;
    void SetUp() override { tb::world = tb::WorldState{}; }
    // 116-byte records with recognisable values, 0x0A bytes among them (present 10 in the
    // sixth, an x with a 0x0A byte, texture 0x0A0A).
    static Bytes records(int count) {
        Bytes file(std::size_t(count) * sizeof(tb::ModelTriangle));
        for (int i = 0; i < count; ++i) {
            tb::ModelTriangle t{};
            t.present = i == 5 ? 10 : 1, t.x[0] = 2.5f + float(i % 32), t.red[1] = 200.0f, t.alpha[2] = 17.0f;
            t.t[2] = -3.5f, t.texture = 0x0A0A;
            std::memcpy(&file[std::size_t(i) * sizeof t], &t, sizeof t);
        }
        return file;
    }
};

TEST_F(AssetModel, CarriageReturnBeforeLineFeedLoadsTheLineFeedAlone) {
    const Bytes file = records(420);
    ASSERT_EQ(std::count(file.begin(), file.end(), 0x0D) + std::count(file.begin(), file.end(), 0x1A), 0);
    ASSERT_GT(std::count(file.begin(), file.end(), 0x0A), 800);
    data.write("Tank.ddo", datagen::textModeWrite(file));  // 0x0D before every 0x0A
    tb::loadModel();
    EXPECT_EQ(std::memcmp(&tb::world.model, file.data(), file.size()), 0);
}

TEST_F(AssetModel, AShortFileOrControlZLeavesTheRestZeroAndExtraBytesAreIgnored) {
    const struct {
        int records, controlZ, loaded;  // controlZ: byte offset of a 0x1A, or -1
    } cases[] = {{4, 2 * 116 + 20, 2 * 116 + 20}, {100, -1, 100 * 116}, {421, -1, 420 * 116}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records, 0x1A at " << c.controlZ);
        SetUp();
        Bytes file = records(c.records);
        if (c.controlZ >= 0) file[std::size_t(c.controlZ)] = 0x1A;
        data.write("Tank.ddo", file);
        tb::loadModel();
        const std::uint8_t* loaded = reinterpret_cast<const std::uint8_t*>(&tb::world.model);
        EXPECT_EQ(std::memcmp(loaded, file.data(), std::size_t(c.loaded)), 0);
        // The rest is zero, and the model buffer's neighbours are untouched.
        EXPECT_EQ(std::count(loaded + c.loaded, loaded + 420 * 116, 0), 420 * 116 - c.loaded);
        EXPECT_EQ(tb::world.textureSize[0], 0u);
    }
}

TEST(TextStream, GetcSkipsCarriageReturnAndReadsControlZAsEndOfFile) {
    // 0x0D is skipped; 0x1A reads as end of file once, and reading goes on; the byte after a
    // skipped 0x0D is not tested again.
    TextStream s({0x41, 0x0D, 0x0A, 0x1A, 0x42, 0x0D, 0x0D, 0x0D, 0x1A, 0x43});
    for (int expected : {0x41, 0x0A, -1, 0x42, 0x0D, -1, 0x43, -1}) EXPECT_EQ(s.getc(), expected);
}

TEST(TextStream, BlockReadStopsAtControlZAndPacksFilteredBytes) {
    TextStream s({1, 0x0D, 0x0A, 2, 3, 4, 0x1A, 5, 6});
    unsigned char buf[8] = {};
    EXPECT_EQ(s.read(buf, 2, 4), 2u);  // 1 0A 2 3 4 -> two whole items, then 0x1A ends the read
    EXPECT_EQ(std::tuple(buf[0], buf[1], buf[4], buf[5]), std::tuple(1, 0x0A, 4, 0));
}

TEST(TextStream, SeekUsesRawOffsets) {
    TextStream s({0x07, 0x0D, 0x10, 0x20});
    s.seek(3, 0);
    EXPECT_EQ(s.getc(), 0x20);
    s.seek(-1, 1);
    EXPECT_EQ(s.getc(), 0x20);
    s.seek(-100, 1);                                                    // before the start: the first byte
    EXPECT_EQ((std::pair{s.getc(), s.getc()}), std::pair(0x07, 0x10));  // braces: in order
    EXPECT_EQ(TextStream().getc(), -1);
}

}  // namespace
