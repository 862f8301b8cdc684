// The generated data files: the model loads back exactly as designed through the
// game's text-mode loader, the bitmaps give the designed texels under the game's
// reading rules, the sounds are clean PCM WAV files, and the build wrote them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
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

// ---------------------------------------------------------------------------
// Model

TEST(DatagenModel, LoadsBackThroughTheGameLoaderAsDesigned) {
    const std::vector<tb::ModelTriangle> intended = datagen::intendedModel();
    ASSERT_EQ(intended.size(), std::size_t(tb::kModelTriangleCount));
    DataDir dir;
    dir.write("Tank.ddo", datagen::modelFile(intended));
    tb::world = tb::WorldState{};
    tb::loadModel();
    for (int i = 0; i < tb::kModelTriangleCount; ++i)
        EXPECT_EQ(std::memcmp(&tb::world.model.triangles[i], &intended[i], sizeof(tb::ModelTriangle)), 0)
            << "record " << i;
}

TEST(DatagenModel, FileSafeMovesOnlyUnsafeFloatsAndOnlyByAFewUlps) {
    struct Case {
        std::uint32_t bits;
        bool safe;
    };
    const Case cases[] = {
        {0x3F800000, true},   // 1.0
        {0x437F0000, true},   // 255.0
        {0x421A0000, false},  // 38.5: 0x1A in the mantissa
        {0x41D0000D, false},  // 0x0D in the lowest byte
        {0xC11A0000, false},  // -9.625
        {0x1A3F0000, false},  // tiny, 0x1A in the exponent byte
        {0x00000000, true},
    };
    for (const Case& c : cases) {
        float in;
        std::memcpy(&in, &c.bits, 4);
        const float out = datagen::fileSafe(in);
        std::uint32_t outBits;
        std::memcpy(&outBits, &out, 4);
        EXPECT_TRUE(datagen::wordIsFileSafe(outBits)) << std::hex << c.bits;
        EXPECT_EQ(outBits == c.bits, c.safe) << std::hex << c.bits;
        // A few ulps, except where the exponent byte itself is unsafe.
        EXPECT_TRUE((c.bits & 0xFF000000) == 0x1A000000 || std::abs(double(out) - in) <= std::abs(double(in)) * 1e-6)
            << std::hex << c.bits;
    }
}

TEST(DatagenModel, TextModeWriteIsUndoneByTheGameReader) {
    const Bytes cases[] = {{}, {0x0A}, {0x41, 0x0A, 0x0A, 0x00}, {0x0A, 0xFF, 0x0A}, {0x01, 0x02, 0x03}};
    for (const Bytes& raw : cases) {
        Bytes written = datagen::textModeWrite(raw);
        EXPECT_EQ(written.size(), raw.size() + std::size_t(std::count(raw.begin(), raw.end(), 0x0A)));
        platform::TextStream stream(written);
        Bytes back(raw.size() + 4);
        EXPECT_EQ(stream.read(back.data(), 1, back.size()), raw.size());
        back.resize(raw.size());
        EXPECT_EQ(back, raw);
    }
}

// Extent of a mesh in plan view and height.
struct Extent {
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, minZ = 1e9f, maxZ = -1e9f;
};
Extent extentOf(int mesh) {
    Extent e;
    for (const datagen::Face& f : datagen::designMesh(mesh))
        for (const datagen::Corner& c : f.corner) {
            e.minX = std::min(e.minX, c.x), e.maxX = std::max(e.maxX, c.x);
            e.minY = std::min(e.minY, c.y), e.maxY = std::max(e.maxY, c.y);
            e.minZ = std::min(e.minZ, c.z), e.maxZ = std::max(e.maxZ, c.z);
        }
    return e;
}

// What the game draws: the meshes it draws have triangles and the spare ones none,
// every triangle faces the camera, and shadows and translucent faces come in the
// order the depth buffer needs.
TEST(DatagenModel, MeshesFaceTheCameraInTheirDrawOrder) {
    const std::vector<tb::ModelTriangle> model = datagen::intendedModel();
    for (int m = 0; m < 20; ++m) {
        int present = 0;
        for (int i = 0; i < tb::kMeshTriangles; ++i) present += model[m * tb::kMeshTriangles + i].present == 1;
        EXPECT_EQ(present, int(datagen::designMesh(m).size())) << "mesh " << m;
        EXPECT_EQ(present > 0, m < 16) << "mesh " << m << ": the game draws exactly meshes 0..15";
        // Each drawn marker triangle costs six random numbers, so its count is part of the game.
        if (m == 3) {
            EXPECT_EQ(present, 4);
        }
    }
    for (int i = 0; i < tb::kModelTriangleCount; ++i) {
        const tb::ModelTriangle& r = model[i];
        if (r.present != 1) continue;
        // The screen is the plan rotated and scaled, so the culling sign is the plan's.
        for (double heading : {0.0, 1.0, 2.5, -2.0}) {
            double sx[3], sy[3];
            for (int k = 0; k < 3; ++k) {
                sx[k] = std::trunc(320 + 0.5 * (r.x[k] * std::cos(heading) - r.y[k] * std::sin(heading)) * 8);
                sy[k] = std::trunc(240 + 0.5 * (r.x[k] * std::sin(heading) + r.y[k] * std::cos(heading)) * 8);
            }
            const double area = (sx[0] - sx[1]) * (sy[1] - sy[2]) - (sx[1] - sx[2]) * (sy[0] - sy[1]);
            EXPECT_LE(area, 0) << "record " << i << " heading " << heading;
        }
        EXPECT_TRUE(r.texture >= 0 && r.texture <= 6) << "record " << i;
    }
    // The shell is drawn again at ground level with alpha blending: the faces that
    // leave a shadow come first, as a transparent face drawn earlier would still
    // write depth and hide them.
    int shadowFaces = 0, coreFaces = 0;
    for (const datagen::Face& f : datagen::designMesh(datagen::kShell)) {
        if (f.paint.alpha >= 255)
            ++coreFaces;
        else {
            EXPECT_EQ(coreFaces, 0) << "a shadow face after an invisible one";
            ++shadowFaces;
        }
    }
    EXPECT_GT(shadowFaces, 0);
    EXPECT_GT(coreFaces, 0);
    // Translucent meshes are drawn from the bottom up.
    for (int mesh : {datagen::kMuzzleSmoke, datagen::kBigExplosion, datagen::kSmallExplosion, datagen::kShellGlow}) {
        float previous = -1e9f;
        for (const datagen::Face& f : datagen::designMesh(mesh)) {
            const float z = std::min({f.corner[0].z, f.corner[1].z, f.corner[2].z});
            EXPECT_GE(z, previous) << "mesh " << mesh;
            previous = z;
        }
    }
}

// The parts fit the game's numbers: the tank's boxes, the hangar's way out, the
// heights at which props hide and turrets are drawn.
TEST(DatagenModel, PartsFitTheTankAndHangarGeometry) {
    const Extent hull = extentOf(datagen::kHull), track = extentOf(datagen::kTrack),
                 turret = extentOf(datagen::kTurret), hangar = extentOf(datagen::kHangar),
                 prop = extentOf(datagen::kProp);
    // The gun ends exactly where the shell starts, 40 ahead of the tank's centre.
    EXPECT_FLOAT_EQ(turret.minY, -40.0f);
    // Hull and turret stay in the 48 x 80 boundary box, the tracks at +-20 may
    // touch its side by two units; the hull covers the 20 x 50 hit footprint and
    // at most the tracks' inner edge.
    for (const Extent& e : {hull, turret}) EXPECT_TRUE(e.minX >= -24 && e.maxX <= 24 && e.minY >= -40 && e.maxY <= 40);
    EXPECT_LE(20 + track.maxX, 26.0f);
    EXPECT_GE(20 + track.minX, 12.0f);
    EXPECT_TRUE(hull.minX <= -10 && hull.minY <= -25 && hull.maxY >= 25);
    EXPECT_LT(hull.maxX, 20 + track.minX + 2.0f);
    for (const Extent& e : {hull, track, turret, prop}) EXPECT_GT(e.minZ, 0.0f);  // above the ground
    EXPECT_TRUE(hangar.minX >= -70 && hangar.maxX <= 70 && hangar.minY >= -90 && hangar.maxY <= 90);
    // The tank rolls out along +y from the centre; nothing taller than the floor
    // may cover the lane it drives through (tank width 52, its back 40 behind).
    float lowestRoof = 1e9f;
    for (const datagen::Face& f : datagen::designMesh(datagen::kHangar)) {
        float minX = 1e9f, maxX = -1e9f, maxY = -1e9f, maxZ = -1e9f;
        for (const datagen::Corner& c : f.corner) {
            minX = std::min(minX, c.x), maxX = std::max(maxX, c.x);
            maxY = std::max(maxY, c.y), maxZ = std::max(maxZ, c.z);
            if (f.paint.texture == datagen::kPanel && f.paint.lit) lowestRoof = std::min(lowestRoof, c.z);
        }
        if (maxX > -27 && minX < 27 && maxY > -40) {
            EXPECT_LT(maxZ, 20.0f) << "a hangar face over the way out";
        }
    }
    EXPECT_GT(lowestRoof, prop.maxZ);                       // a prop inside a hangar stays hidden
    EXPECT_LT(hangar.maxZ, 1400 + turret.minZ);             // turrets are drawn at +1400
    EXPECT_GT(prop.maxZ, 400.0f);                           // a prop's tip shows while it still stands at -399
    for (int mesh : {datagen::kTrack, datagen::kHangar}) {  // track and hangar floor scroll
        int striped = 0;
        for (const datagen::Face& f : datagen::designMesh(mesh)) striped += f.paint.texture == datagen::kStripes;
        EXPECT_GE(striped, 2) << "mesh " << mesh;
    }
}

// ---------------------------------------------------------------------------
// Bitmaps

// SDL reads the bitmaps at their designed sizes, and the game, reading them its
// own way (text mode, offset starts, a stepping-back colour reader), gets the
// designed texels.
TEST(DatagenBitmaps, TheGameReadsTheDesignedTexels) {
    for (const auto& [file, width, height, bits] :
         {std::tuple(datagen::panelBitmap(), 256, 64, 8), std::tuple(datagen::colourBitmap(), 64, 64, 24)}) {
        SDL_Surface* surface = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), int(file.size())), 1);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        EXPECT_EQ(std::tuple(surface->w, surface->h, int(surface->format->BitsPerPixel)),
                  std::tuple(width, height, bits));
        SDL_FreeSurface(surface);
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
    EXPECT_GT(blue, 256);
    EXPECT_GT(translucent, 256);
}

// ---------------------------------------------------------------------------
// Sounds

struct SoundCase {
    const char* name;
    Bytes (*make)();
    double minSeconds, maxSeconds;
};
const SoundCase kSounds[] = {
    {"bumm.wav", datagen::cannonSound, 0.4, 0.6},
    {"expl.wav", datagen::explosionSound, 1.3, 1.7},
};

TEST(DatagenSounds, SixteenBitMonoPcmOfTheirLengthLoudAndFadedToSilence) {
    for (const SoundCase& c : kSounds) {
        SCOPED_TRACE(c.name);
        const Bytes b = c.make();
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(le32(b, 40), b.size() - 44);  // one data chunk, right after a plain header
        SDL_AudioSpec spec;
        Uint8* buffer = nullptr;
        Uint32 length = 0;
        ASSERT_NE(SDL_LoadWAV_RW(SDL_RWFromConstMem(b.data(), int(b.size())), 1, &spec, &buffer, &length), nullptr)
            << SDL_GetError();
        EXPECT_EQ(spec.format, AUDIO_S16LSB);
        EXPECT_EQ(spec.channels, 1);
        EXPECT_EQ(length, b.size() - 44);
        const double seconds = double(length) / (spec.freq * 2);
        EXPECT_GE(seconds, c.minSeconds);
        EXPECT_LE(seconds, c.maxSeconds);
        SDL_FreeWAV(buffer);
        // Loud without clipping and faded to silence.
        std::vector<int> s;
        for (std::size_t i = 44; i + 1 < b.size(); i += 2) s.push_back(std::int16_t(le16(b, i)));
        int peak = 0;
        for (int v : s) peak = std::max(peak, std::abs(v));
        EXPECT_GT(peak, 26000);   // normalised
        EXPECT_LT(peak, 32767);   // never at the rails
        EXPECT_EQ(s.front(), 0);  // no click at the start
        EXPECT_LE(std::abs(s.back()), 2);
        // The last 20 ms are a quiet tail, not a cut.
        const std::size_t tail = datagen::kSampleRate / 50;
        for (std::size_t i = s.size() - tail; i < s.size(); ++i) ASSERT_LT(std::abs(s[i]), 2000) << i;
        // Something happens in the middle: not a silent file.
        int loud = 0;
        for (int v : s) loud += std::abs(v) > 3000;
        EXPECT_GT(loud, int(s.size() / 50));
    }
}

// ---------------------------------------------------------------------------
// Files

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
