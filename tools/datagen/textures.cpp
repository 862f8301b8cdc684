// The two bitmap textures: the grey panel atlas (hull deck, turret top, hangar
// roofing, worn metal) and the colour texture (fire, foliage, lamp, plain white).
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "data_files.h"

namespace datagen {
namespace {

// Deterministic lattice noise: a hash of the lattice point, smoothly interpolated.
double lattice(int x, int y, std::uint32_t seed) {
    std::uint32_t h = std::uint32_t(x) * 0x8DA6B343u ^ std::uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h & 0xFFFF) / 65535.0;
}

// Value noise in 0..1 with a lattice cell of `cell` texels, repeating every
// `period` cells in both directions.
double noise(double x, double y, double cell, int period, std::uint32_t seed) {
    double fx = x / cell, fy = y / cell;
    int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    double tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int i, int j) {
        return lattice(((i % period) + period) % period, ((j % period) + period) % period, seed);
    };
    double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

void put16le(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32le(Bytes& b, std::uint32_t v) {
    put16le(b, v & 0xFFFF);
    put16le(b, v >> 16);
}

// File header and information header of an uncompressed bitmap whose pixels
// start at offset 1078, where the game starts reading.
constexpr std::uint32_t kPixelOffset = 1078;
Bytes bitmapHeaders(int width, int height, int bitsPerPixel, std::uint32_t pixelBytes, std::uint32_t coloursUsed) {
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    put32le(b, kPixelOffset + pixelBytes);
    put32le(b, 0);
    put32le(b, kPixelOffset);
    put32le(b, 40);
    put32le(b, std::uint32_t(width));
    put32le(b, std::uint32_t(height));
    put16le(b, 1);
    put16le(b, unsigned(bitsPerPixel));
    put32le(b, 0);  // no compression
    put32le(b, pixelBytes);
    put32le(b, 2835);  // 72 dots per inch
    put32le(b, 2835);
    put32le(b, coloursUsed);
    put32le(b, 0);
    return b;
}

// --- Panel atlas ---------------------------------------------------------

using Levels = std::vector<std::uint8_t>;

void set(Levels& l, int u, int v, int level) {
    if (u >= 0 && u < kPanelWidth && v >= 0 && v < kPanelHeight)
        l[std::size_t(v) * kPanelWidth + u] = std::uint8_t(level);
}

// Weathered plate: mostly level 4, with lighter and darker patches.
void plate(Levels& l, int u0, int u1, std::uint32_t seed) {
    for (int v = 0; v < kPanelHeight; ++v)
        for (int u = u0; u < u1; ++u) {
            double n = noise(u, v, 8, 8, seed) * 0.7 + noise(u, v, 2, 32, seed + 1) * 0.3;
            set(l, u, v, n < 0.28 ? 3 : (n > 0.74 ? 5 : 4));
        }
}

void ring(Levels& l, double cu, double cv, double r0, double r1, int level) {
    for (int v = int(cv - r1) - 1; v <= int(cv + r1) + 1; ++v)
        for (int u = int(cu - r1) - 1; u <= int(cu + r1) + 1; ++u) {
            double d = std::hypot(u + 0.5 - cu, v + 0.5 - cv);
            if (d >= r0 && d < r1) set(l, u, v, level);
        }
}

void box(Levels& l, int u0, int v0, int u1, int v1, int level) {
    for (int v = v0; v < v1; ++v)
        for (int u = u0; u < u1; ++u) set(l, u, v, level);
}

// Hull deck, texels 0..63: a texel (u, v) is the hull point ((u - 32) / 2, v - 32).
void hullDeck(Levels& l) {
    plate(l, 0, 64, 11);
    box(l, 0, 11, 64, 12, 2);  // seam between glacis and deck
    box(l, 0, 43, 64, 44, 1);  // front edge of the engine deck
    box(l, 6, 0, 7, 64, 2);    // deck edges
    box(l, 57, 0, 58, 64, 2);
    for (int u = 9; u < 56; u += 6) {  // rivets along the glacis seam
        set(l, u, 13, 5);
        set(l, u + 1, 14, 2);
    }
    ring(l, 20, 18, 3.5, 4.7, 1);  // driver's hatch
    ring(l, 20, 18, 0, 3.5, 5);
    box(l, 18, 17, 23, 18, 3);
    box(l, 18, 4, 47, 9, 4);  // spare links on the glacis
    for (int u = 18; u < 47; u += 3) box(l, u, 4, u + 1, 9, 2);
    box(l, 13, 45, 51, 58, 2);  // engine grille with its frame
    for (int v = 46; v < 57; ++v) box(l, 14, v, 50, v + 1, v % 2 ? 3 : 1);
    box(l, 31, 45, 33, 58, 2);
}

// Turret top, texels 64..127: centred on (96, 32), two texels per unit.
void turretTop(Levels& l) {
    plate(l, 64, 128, 23);
    ring(l, 96, 32, 20.5, 23, 3);  // the rim rolls off
    ring(l, 96, 32, 23, 32, 2);
    ring(l, 96, 32, 16.5, 17.5, 3);
    ring(l, 106, 40, 5, 6.4, 1);  // commander's cupola
    ring(l, 106, 40, 0, 5, 5);
    box(l, 101, 40, 111, 41, 3);
    for (int i = 0; i < 6; ++i) {  // vision blocks round the cupola
        double a = i * 1.0471976;
        set(l, int(106 + 5.7 * std::cos(a)), int(40 + 5.7 * std::sin(a)), 5);
    }
    box(l, 82, 33, 90, 40, 1);  // loader's hatch
    box(l, 83, 34, 89, 39, 4);
    box(l, 83, 34, 89, 35, 5);
    box(l, 100, 14, 105, 18, 1);  // gunner's sight
    box(l, 101, 15, 104, 16, 5);
}

// Hangar roofing, texels 128..191: corrugated sheets running along v, joined
// every 16 rows; repeats vertically because the roofs wrap in t.
void roofing(Levels& l) {
    static const int kProfile[4] = {5, 4, 3, 3};
    for (int v = 0; v < kPanelHeight; ++v)
        for (int u = 128; u < 192; ++u) {
            int level = kProfile[u % 4];
            if (v % 16 == 0) level = 2;
            if (noise(u, v, 4, 16, 31) < 0.18 && level > 2) --level;  // rust streaks
            set(l, u, v, level);
        }
    box(l, 128, 0, 131, 64, 2);
    box(l, 189, 0, 192, 64, 2);
}

// Worn metal and concrete, texels 192..255; repeats vertically.
void rough(Levels& l) {
    for (int v = 0; v < kPanelHeight; ++v)
        for (int u = 192; u < 256; ++u) {
            double n = noise(u, v, 6, 64, 41) * 0.6 + noise(u, v, 2, 64, 42) * 0.4;
            set(l, u, v, n < 0.25 ? 2 : (n < 0.45 ? 3 : (n < 0.8 ? 4 : 5)));
        }
}

// --- Colour texture --------------------------------------------------------

ColourTexel fire(int x, int y) {
    double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16) / 16;
    double heat = 1.05 - r + 0.5 * (noise(x, y, 3, 64, 51) - 0.5);
    if (r >= 0.97) heat = 0;
    heat = clamp01(heat);
    ColourTexel t;
    t.alpha = std::uint8_t(std::lround(15 * clamp01(heat * 1.7)));
    t.green = std::uint8_t(std::lround(15 * clamp01(heat * 1.5 - 0.3)));
    t.blue = std::uint8_t(std::lround(15 * clamp01((heat - 0.75) * 4)));
    return t;
}

ColourTexel foliage(int x, int y) {
    double clumps = noise(x, y, 4, 8, 61), needles = noise(x, y, 1.5, 64, 62);
    ColourTexel t;
    t.alpha = needles < 0.22 ? 11 : 15;
    t.green = std::uint8_t(std::lround(5 + 10 * clamp01(0.65 * clumps + 0.35 * needles)));
    t.blue = 0;
    return t;
}

ColourTexel lamp(int x, int y) {
    double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16) / 15;
    double light = clamp01(1.25 - 1.3 * r * r);
    std::uint8_t v = std::uint8_t(std::lround(15 * light));
    return {v, v, std::uint8_t(r < 0.5 ? v : 0)};
}

// The game reads texel n of the file at texel (n + 27) mod 4096.
constexpr int kColourShift = 27;

}  // namespace

Bytes textModeWrite(const Bytes& raw) {
    Bytes out;
    out.reserve(raw.size() + raw.size() / 64);
    for (std::uint8_t b : raw) {
        if (b == 0x0A) out.push_back(0x0D);
        out.push_back(b);
    }
    return out;
}

std::vector<std::uint8_t> panelLevels() {
    Levels l(std::size_t(kPanelWidth) * kPanelHeight, 4);
    hullDeck(l);
    turretTop(l);
    roofing(l);
    rough(l);
    return l;
}

Bytes panelBitmap() {
    const Levels levels = panelLevels();
    const std::uint32_t pixels = std::uint32_t(levels.size());
    Bytes b = bitmapHeaders(kPanelWidth, kPanelHeight, 8, pixels, 256);
    for (int i = 0; i < 256; ++i) {  // palette: the grey each level shows as, B G R 0
        std::uint8_t grey = i < 6 ? std::uint8_t((26 + i) * 255 / 31) : 0;
        for (int c = 0; c < 3; ++c) b.push_back(grey);
        b.push_back(0);
    }
    if (b.size() != kPixelOffset) throw std::logic_error("tex.bmp header size");
    for (std::size_t n = 0; n < pixels; ++n) b.push_back(levels[(n + 64) % pixels]);
    return b;
}

std::vector<ColourTexel> colourTexels() {
    std::vector<ColourTexel> t(std::size_t(kColourSize) * kColourSize);
    for (int y = 0; y < kColourSize; ++y)
        for (int x = 0; x < kColourSize; ++x) {
            ColourTexel& c = t[std::size_t(y) * kColourSize + x];
            int qx = x % 32, qy = y % 32;
            if (y < 32)
                c = x < 32 ? fire(qx, qy) : foliage(qx, qy);
            else
                c = x < 32 ? lamp(qx, qy) : ColourTexel{15, 15, 15};
        }
    // Reading order: a texel with blue shares its green byte with the next texel's
    // alpha. Nudge green by one level where that makes them agree, else drop blue.
    const std::size_t count = t.size();
    for (std::size_t n = 0; n + 1 < count; ++n) {
        ColourTexel& c = t[(n + kColourShift) % count];
        const ColourTexel& next = t[(n + 1 + kColourShift) % count];
        if (c.blue == 0 || c.green == next.alpha) continue;
        if (std::abs(int(c.green) - int(next.alpha)) <= 1)
            c.green = next.alpha;
        else
            c.blue = 0;
    }
    return t;
}

Bytes colourBitmap() {
    const std::vector<ColourTexel> t = colourTexels();
    const std::size_t count = t.size();
    // A nibble v is written as the byte v * 17: the game only looks at the high
    // nibble, and such bytes are never 0x0D or 0x1A.
    auto byte = [](std::uint8_t v) { return std::uint8_t(v * 17); };
    Bytes stream;
    stream.push_back(byte(t[kColourShift % count].alpha));
    for (std::size_t n = 0; n < count; ++n) {
        const ColourTexel& c = t[(n + kColourShift) % count];
        stream.push_back(byte(c.blue));
        stream.push_back(byte(c.green));
        if (c.blue != 0) continue;  // the green byte is read again as the next alpha
        if (n + 1 < count) stream.push_back(byte(t[(n + 1 + kColourShift) % count].alpha));
    }
    const std::uint32_t pixels = kColourSize * kColourSize * 3;
    if (stream.size() > pixels) throw std::logic_error("tex2.bmp stream longer than its pixels");
    stream.resize(pixels, 0);
    Bytes b = bitmapHeaders(kColourSize, kColourSize, 24, pixels, 0);
    b.resize(kPixelOffset, 0);
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

}  // namespace datagen
