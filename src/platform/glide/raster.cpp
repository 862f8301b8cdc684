// The triangle rasteriser and its pixel stages: texture fetch, colour and
// alpha combine, depth test, blend and write.
//
// A triangle is snapped and culled, its covered pixels are found (row by
// row, or for a small one by testing a box of pixel centres against its
// edges), and only then is the rest set up. The pixels are drawn by a loop
// instantiated per blend setting, texture mapping and kind of combine, with
// the depth and sampler modes the game uses compiled in; any other mode goes
// through a loop that checks them at run time. Where the CPU has AVX2 the
// game's modes run eight pixels at a time: affine triangles row by row,
// perspective ones from a packed list of their pixels (a far-away mesh
// covers a pixel or two a row). Both give the one-pixel loop's pixels.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "internal.h"

// The pixel loops are only fast with their small helpers inlined, which the
// compiler's size heuristics do not always do once a helper has several callers.
#define TB_INLINE inline __attribute__((always_inline))
#define TB_INLINE_LAMBDA __attribute__((always_inline))

namespace softglide::detail {
namespace {

// ---------------------------------------------------------------------------
// Number conversions. Every float-to-integer conversion goes through these,
// so NaN, infinities and huge values saturate instead of being undefined.

// Rounds to the nearest integer (halves up), saturating at +-limit (< 2^62).
TB_INLINE std::int64_t saturate(double v, double limit) {
    if (!(v > -limit)) return std::int64_t(-limit);  // also NaN
    if (!(v < limit)) return std::int64_t(limit);
    const double h = v + 0.5;
    const std::int64_t t = std::int64_t(h);  // truncates toward zero
    return t - (double(t) > h);              // floor
}

std::int64_t floorDiv(std::int64_t n, std::int64_t d) {  // d > 0
    std::int64_t q = n / d;
    if ((n % d) != 0 && n < 0) --q;
    return q;
}
std::int64_t ceilDiv(std::int64_t n, std::int64_t d) { return -floorDiv(-n, d); }
// ceilDiv(n, 16) for |n| < 2^62: the arithmetic shift floors.
TB_INLINE std::int64_t ceilDiv16(std::int64_t n) { return (n + 15) >> 4; }

// Depth and colours are iterated with 12 fractional bits.
constexpr int kIterBits = 12;
constexpr double kIterOne = double(1 << kIterBits);
// Affine texture coordinates carry 24 fractional bits of a texel; the filter uses the top 8.
constexpr int kTexBits = 24;
constexpr double kTexOne = double(1 << kTexBits);
// Vertex colours beyond this saturate the combine anyway, so clamping them
// to it does not change any result and keeps products within 32 bits.
constexpr int kColourLimit = 65536;

// ---------------------------------------------------------------------------
// Pipeline stages.

// Bilinear filter of four taps t00, t01 (left column, rows 0 and 1) and
// t10, t11 given as one vector [t00, t01, t10, t11]; fu and fv are the
// fractions in 256ths. First along u, then along v, each lerp truncated:
// a channel times a weight stays below 2^16. Returns the channels in the
// low four 16-bit lanes (blue, green, red, alpha).
TB_INLINE __m128i filterTaps(__m128i taps, unsigned fu, unsigned fv) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i left = _mm_unpacklo_epi8(taps, zero);
    const __m128i right = _mm_unpackhi_epi8(taps, zero);
    const __m128i rows = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(left, _mm_set1_epi16(short(256 - fu))),
                                                      _mm_mullo_epi16(right, _mm_set1_epi16(short(fu)))),
                                        8);
    const short a = short(256 - fv), b = short(fv);
    __m128i m = _mm_mullo_epi16(rows, _mm_setr_epi16(a, a, a, a, b, b, b, b));
    m = _mm_add_epi16(m, _mm_srli_si128(m, 8));
    return _mm_srli_epi16(m, 8);
}

// Fetch for u and v in texels with 8 fractional bits, texel centres already
// moved to whole numbers. Wrapping: the padded extra column and row make the
// second tap the neighbour in memory. Clamping (general path only) reads the
// four taps one by one.
template <bool kFastModes>
TB_INLINE __m128i fetch(const TextureView& tex, std::int64_t u, std::int64_t v, const RenderState& st) {
    const unsigned fu = unsigned(u & 255), fv = unsigned(v & 255);
    if (kFastModes || (!st.clampS && !st.clampT)) {
        const int u0 = int(u >> 8) & (tex.width - 1), v0 = int(v >> 8) & (tex.height - 1);
        const std::uint32_t* p = tex.padded + v0 * tex.stride + u0;
        const __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + tex.stride));
        return filterTaps(_mm_unpacklo_epi32(top, bottom), fu, fv);
    }
    auto taps = [](std::int64_t i, int size, bool clamped, int& i0, int& i1) {
        if (clamped) {
            const std::int64_t c = std::clamp<std::int64_t>(i, -1, size);
            i0 = int(std::clamp<std::int64_t>(c, 0, size - 1));
            i1 = int(std::clamp<std::int64_t>(c + 1, 0, size - 1));
        } else {
            i0 = int(i) & (size - 1);
            i1 = i0 + 1;  // the padded copy of index 0
        }
    };
    int u0, u1, v0, v1;
    taps(u >> 8, tex.width, st.clampS, u0, u1);
    taps(v >> 8, tex.height, st.clampT, v0, v1);
    const std::uint32_t* r0 = tex.padded + v0 * tex.stride;
    const std::uint32_t* r1 = tex.padded + v1 * tex.stride;
    return filterTaps(_mm_setr_epi32(int(r0[u0]), int(r1[u0]), int(r0[u1]), int(r1[u1])), fu, fv);
}

TB_INLINE int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

struct Rgba {
    int r, g, b, a;
};

// Colour and alpha combine: (texture - iterated) scaled by texture alpha + 1,
// arithmetic shift, clamp. Iterated values may be negative (they brighten).
TB_INLINE Rgba combine(__m128i texel, int vr, int vg, int vb, int va) {
    const std::uint32_t t = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(texel, texel)));
    const int ta = int(t >> 24), tr = int((t >> 16) & 255), tg = int((t >> 8) & 255), tb = int(t & 255);
    const int scale = ta + 1;
    return Rgba{clamp255(((tr - vr) * scale) >> 8), clamp255(((tg - vg) * scale) >> 8),
                clamp255(((tb - vb) * scale) >> 8), clamp255(((ta - va) * scale) >> 8)};
}

// The same combine for an opaque texel (alpha 255, scale 256): texel minus
// vertex value, clamped, done on all four channels at once. `minusVertex`
// holds the negated vertex values clamped to +-256, which changes no result.
TB_INLINE std::uint32_t combineOpaque(__m128i texel, __m128i minusVertex) {
    const __m128i d = _mm_add_epi16(texel, minusVertex);
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(d, d)));
}

TB_INLINE Rgba unpack(std::uint32_t p) {
    return Rgba{int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255), int(p >> 24)};
}

TB_INLINE std::uint32_t pack(int r, int g, int b, int a) {
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

// Blend factor in 256ths for a Glide blend constant. In the source position
// code 2/6 mean the destination colour, in the destination position the
// source colour (the constants share values).
TB_INLINE int blendFactor(GrAlphaBlendFnc_t f, bool isSource, int srcA, int dstA, int srcC, int dstC) {
    switch (f) {
        case GR_BLEND_ZERO: return 0;
        case GR_BLEND_SRC_ALPHA: return srcA + 1;
        case GR_BLEND_SRC_COLOR: return (isSource ? dstC : srcC) + 1;
        case GR_BLEND_DST_ALPHA: return dstA + 1;
        case GR_BLEND_ONE: return 256;
        case GR_BLEND_ONE_MINUS_SRC_ALPHA: return 256 - srcA;
        case GR_BLEND_ONE_MINUS_SRC_COLOR: return 256 - (isSource ? dstC : srcC);
        case GR_BLEND_ONE_MINUS_DST_ALPHA: return 256 - dstA;
        default: return 0;
    }
}

// Blend: (source x source factor + destination x destination factor) / 256,
// clamped; the factor of source alpha a is (a + 1) / 256, of one minus it (256 - a) / 256.
template <BlendKind kBlend>
TB_INLINE std::uint32_t blend(const Rgba& s, std::uint32_t dst, const RenderState& st) {
    const int dr = int((dst >> 16) & 255), dg = int((dst >> 8) & 255), db = int(dst & 255);
    if constexpr (kBlend == BlendKind::Opaque) {
        (void)dr, (void)dg, (void)db;
        return pack(s.r, s.g, s.b, s.a);
    } else if constexpr (kBlend == BlendKind::Alpha) {
        const int fs = s.a + 1, fd = 256 - s.a;
        return pack((s.r * fs + dr * fd) >> 8, (s.g * fs + dg * fd) >> 8, (s.b * fs + db * fd) >> 8, s.a);
    } else if constexpr (kBlend == BlendKind::Additive) {
        return pack(std::min(s.r + dr, 255), std::min(s.g + dg, 255), std::min(s.b + db, 255), s.a);
    } else if constexpr (kBlend == BlendKind::AlphaAdditive) {
        const int fs = s.a + 1;
        return pack(std::min(((s.r * fs) >> 8) + dr, 255), std::min(((s.g * fs) >> 8) + dg, 255),
                    std::min(((s.b * fs) >> 8) + db, 255), s.a);
    } else {
        const int da = int(dst >> 24);
        auto channel = [&](int sc, int dc) {
            const int fs = blendFactor(st.rgbSrc, true, s.a, da, sc, dc);
            const int fd = blendFactor(st.rgbDst, false, s.a, da, sc, dc);
            return std::min((sc * fs + dc * fd) >> 8, 255);
        };
        const int fsa = blendFactor(st.alphaSrc, true, s.a, da, s.a, da);
        const int fda = blendFactor(st.alphaDst, false, s.a, da, s.a, da);
        return pack(channel(s.r, dr), channel(s.g, dg), channel(s.b, db), std::min((s.a * fsa + da * fda) >> 8, 255));
    }
}

// Depth test of the stored 16-bit value against the function set.
TB_INLINE bool depthPasses(GrCmpFnc_t f, std::uint32_t z, std::uint32_t stored) {
    switch (f) {
        case GR_CMP_NEVER: return false;
        case GR_CMP_LESS: return z < stored;
        case GR_CMP_EQUAL: return z == stored;
        case GR_CMP_LEQUAL: return z <= stored;
        case GR_CMP_GREATER: return z > stored;
        case GR_CMP_NOTEQUAL: return z != stored;
        case GR_CMP_GEQUAL: return z >= stored;
        default: return true;
    }
}

TB_INLINE std::uint32_t depthValue(std::int64_t zFixed) {
    const std::int64_t z = zFixed >> kIterBits;
    return std::uint32_t(z < 0 ? 0 : (z > 0xFFFF ? 0xFFFF : z));
}

// Depth at a pixel centre of a perspective triangle, from its ooz plane:
// rounded to 1/4096, the whole part clamped to 0..0xFFFF (NaN gives 0).
// The rounding needs no floor of its own: the whole part of y / 4096 is that
// of floor(y) / 4096, and scaling by 1/4096 is exact.
TB_INLINE std::uint32_t depthAt(double ooz) {
    const double q = std::floor((ooz * kIterOne + 0.5) * (1.0 / kIterOne));
    return q >= 65535.0 ? 0xFFFF : (q > 0.0 ? std::uint32_t(q) : 0);
}

// Texel coordinate with 8 fractional bits of a perspective triangle at a
// pixel centre: clamped to +-2^22 texels (NaN to the lower end), floored.
TB_INLINE std::int64_t perspectiveTexel(double texel) {
    constexpr double kLimit = double(1 << 22);
    if (!(texel >= -kLimit)) texel = -kLimit;
    if (!(texel <= kLimit)) texel = kLimit;
    return std::int64_t(std::floor(texel * 256.0));
}

TB_INLINE int iterColour(std::int64_t c) {
    const std::int64_t v = c >> kIterBits;
    return int(v < -kColourLimit ? -kColourLimit : (v > kColourLimit ? kColourLimit : v));
}

// ---------------------------------------------------------------------------
// Triangle set-up: what every row of a triangle shares, and the values at a
// row's first pixel.

// A parameter as a plane over the screen, relative to vertex 0's snapped position.
struct Plane {
    double p0, dx, dy;
    double at(double x, double y) const { return p0 + dx * x + dy * y; }
};

// The parameter planes of a triangle and their steps per pixel. Affine
// triangles (one w for all three vertices) carry s and t in texels, and are
// evaluated at a row's first pixel and stepped in fixed point from there;
// perspective ones carry s/w, t/w and 1/w, and depth and texel are worked
// out afresh at every pixel. Flat triangles (one colour) carry it as
// integers instead of planes.
struct Triangle {
    TextureView tex;
    double texOffset;  // 0.5 for bilinear (texel centres), 0 for point sampling
    double invWidth, invHeight;
    bool affine, flat, clampS, clampT;
    double x0, y0;  // vertex 0 in pixels
    double tpu;     // texels per Glide unit
    // Only the planes a triangle's kind uses are set: ooz always, s and t
    // always, w for perspective, the colours when not flat.
    Plane ooz, s, t, w, red, green, blue, alpha;
    std::int64_t dz, dr, dg, db, da, du, dv;
    int fr, fg, fb, fa;
};

// Pixels [left, right) of row y.
struct Row {
    int y, left, right;
};

// Parameters at the centre of a row's first pixel.
struct RowStart {
    std::int64_t z = 0, r = 0, g = 0, b = 0, a = 0, u = 0, v = 0;
};

// Steps per pixel and start values are saturated so that a whole row cannot overflow.
constexpr double kStepLimit = double(std::int64_t(1) << 52);

// A texel coordinate at the start of a row, kept small: wrapping removes
// whole texture sizes, clamping keeps it in a range where the clamp to the
// edge texel is the same.
TB_INLINE std::int64_t texStart(double texel, int size, double invSize, bool clamped) {
    if (!(std::fabs(texel) < 1e15)) texel = 0.0;
    if (clamped) {
        texel = std::clamp(texel, -double(1 << 20), double(1 << 20));
    } else {
        // size is a power of two, so this product is the exact quotient.
        const double periods = texel * invSize;  // |periods| < 2^62
        std::int64_t whole = std::int64_t(periods);
        whole -= double(whole) > periods;  // floor
        texel -= double(size) * double(whole);
    }
    return saturate(texel * kTexOne, double(std::int64_t(1) << 50));
}

template <bool kAffine, bool kFlat>
TB_INLINE RowStart rowStart(const Triangle& tr, const Row& row) {
    const double cx = row.left + 0.5 - tr.x0, cy = row.y + 0.5 - tr.y0;
    RowStart rs;
    if constexpr (kAffine) rs.z = saturate(tr.ooz.at(cx, cy) * kIterOne, kStepLimit);
    if constexpr (!kFlat) {
        rs.r = saturate(tr.red.at(cx, cy) * kIterOne, kStepLimit);
        rs.g = saturate(tr.green.at(cx, cy) * kIterOne, kStepLimit);
        rs.b = saturate(tr.blue.at(cx, cy) * kIterOne, kStepLimit);
        rs.a = saturate(tr.alpha.at(cx, cy) * kIterOne, kStepLimit);
    }
    if constexpr (kAffine) {
        rs.u = texStart(tr.s.at(cx, cy) * tr.tpu - tr.texOffset, tr.tex.width, tr.invWidth, tr.clampS);
        rs.v = texStart(tr.t.at(cx, cy) * tr.tpu - tr.texOffset, tr.tex.height, tr.invHeight, tr.clampT);
    }
    return rs;
}

// The rows of a triangle are drawn by one function chosen for its modes.
using RowsFn = void (*)(const Triangle&, const Row*, int, const RenderState&);

// ---------------------------------------------------------------------------
// Eight pixels at a time (AVX2, chosen at run time) in the game's modes:
// wrapped bilinear fetch, LEQUAL depth test with writes. The arithmetic is
// the scalar stages' own, lane by lane, so the pixels are identical. Only
// the low 32 bits of the 24-bit-fraction affine coordinates matter (a
// texture is at most 256 texels wide), so they step in wrapping 32-bit
// lanes. Channels are held two to a 32-bit lane (blue and red, green and
// alpha), where every product of the filter fits 16 bits.

// How the combine runs for a triangle: on all channels at once (flat colour,
// opaque texture), scaled by texture alpha with a flat colour, or with
// colours iterated across the triangle. FlatNarrow is FlatGeneral with no
// flat value below -256, which the eight-pixel loops combine two channels
// to a 16-bit lane pair; elsewhere it is FlatGeneral.
enum class CombineKind { Saturating, FlatGeneral, FlatNarrow, Iterated };

bool& wideSpans() {
    static bool wide = __builtin_cpu_supports("avx2");
    return wide;
}
bool haveAvx2() { return wideSpans(); }

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

// Depth of a run of n pixels as 16-bit lanes; false when the 32-bit lanes
// cannot hold every value of the run (the caller then stays scalar).
struct DepthRun {
    bool constant = true;
    std::uint32_t value = 0, z = 0, dz = 0;
    bool init(std::int64_t z0, std::int64_t step, int n) {
        if (step == 0) {
            value = depthValue(z0);
            return true;
        }
        constexpr std::int64_t kMax = 0x7FFFFFFF;
        const std::int64_t last = z0 + std::int64_t(n - 1) * step;
        if (z0 < 0 || z0 > kMax || last < 0 || last > kMax) return false;
        constant = false;
        z = std::uint32_t(z0);
        dz = std::uint32_t(step);
        return true;
    }
};

// Taps of eight pixels: top-left, top-right, bottom-left and bottom-right
// texels as 0xAARRGGBB in 32-bit lanes, and the fractions in 256ths.
struct Taps8 {
    __m256i tl, tr, bl, br, fu, fv;
};

// Each pixel's two taps of a row sit side by side: one 64-bit load per pixel,
// then the left and right taps of the eight pixels are sorted into two vectors.
TB_INLINE __m128i tapPairs(const std::uint32_t* row, const std::int32_t* ix, int a, int b) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + ix[a])),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + ix[b])));
}

TB_INLINE void tapRow(const std::uint32_t* row, const std::int32_t* ix, __m256i& left, __m256i& right) {
    const __m256 x0 = _mm256_castsi256_ps(
        _mm256_inserti128_si256(_mm256_castsi128_si256(tapPairs(row, ix, 0, 1)), tapPairs(row, ix, 4, 5), 1));
    const __m256 x1 = _mm256_castsi256_ps(
        _mm256_inserti128_si256(_mm256_castsi128_si256(tapPairs(row, ix, 2, 3)), tapPairs(row, ix, 6, 7), 1));
    left = _mm256_castps_si256(_mm256_shuffle_ps(x0, x1, 0x88));
    right = _mm256_castps_si256(_mm256_shuffle_ps(x0, x1, 0xDD));
}

// Splits eight 8.24 texel coordinates into the fractions of the taps
// (stored in t) and the wrapped texel indices ui and vi.
TB_INLINE void splitCoordinates8(__m256i u, __m256i v, __m256i wMask, __m256i hMask, Taps8& t, __m256i& ui,
                                 __m256i& vi) {
    const __m256i byteMask = _mm256_set1_epi32(255);
    t.fu = _mm256_and_si256(_mm256_srli_epi32(u, 16), byteMask);
    t.fv = _mm256_and_si256(_mm256_srli_epi32(v, 16), byteMask);
    ui = _mm256_and_si256(_mm256_srli_epi32(u, 24), wMask);
    vi = _mm256_and_si256(_mm256_srli_epi32(v, 24), hMask);
}

TB_INLINE Taps8 fetch8(const std::uint32_t* padded, int stride, __m256i u, __m256i v, __m256i wMask, __m256i hMask) {
    Taps8 t;
    __m256i ui, vi;
    splitCoordinates8(u, v, wMask, hMask, t, ui, vi);
    alignas(32) std::int32_t ix[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(ix),
                       _mm256_add_epi32(_mm256_mullo_epi32(vi, _mm256_set1_epi32(stride)), ui));
    tapRow(padded, ix, t.tl, t.tr);
    tapRow(padded + stride, ix, t.bl, t.br);
    return t;
}

// fetch8 for eight pixels of a row whose texel coordinates lie within two
// neighbouring columns and two neighbouring rows (a texture drawn at more
// than seven pixels a texel, like the ground seen close): the 4 x 3 texels from
// the first column and row of any lane are loaded once, and each pixel's
// taps are picked from them in registers. `firstLane` selects, in every
// lane, the lane nearest the texture's origin (lane 0 when the coordinate
// grows along the row, lane 7 when it falls). The padded layout's second
// extra column and row keep the block within one copy of the texture.
TB_INLINE Taps8 fetchBlock8(const std::uint32_t* padded, int stride, __m256i u, __m256i v, __m256i wMask, __m256i hMask,
                            __m256i firstLaneU, __m256i firstLaneV) {
    Taps8 t;
    __m256i ui, vi;
    splitCoordinates8(u, v, wMask, hMask, t, ui, vi);
    const __m256i u0 = _mm256_permutevar8x32_epi32(ui, firstLaneU);
    const __m256i v0 = _mm256_permutevar8x32_epi32(vi, firstLaneV);
    // Each lane's place in the block: row 0 or 1, column 0 or 1.
    const __m256i place = _mm256_add_epi32(_mm256_slli_epi32(_mm256_and_si256(_mm256_sub_epi32(vi, v0), hMask), 2),
                                           _mm256_and_si256(_mm256_sub_epi32(ui, u0), wMask));
    const __m256i nextColumn = _mm256_add_epi32(place, _mm256_set1_epi32(1));
    const std::uint32_t* p = padded + _mm256_cvtsi256_si32(v0) * stride + _mm256_cvtsi256_si32(u0);
    const __m128i row1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride));
    const __m256i rows01 =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))), row1, 1);
    const __m256i rows12 = _mm256_inserti128_si256(
        _mm256_castsi128_si256(row1), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * stride)), 1);
    t.tl = _mm256_permutevar8x32_epi32(rows01, place);
    t.tr = _mm256_permutevar8x32_epi32(rows01, nextColumn);
    t.bl = _mm256_permutevar8x32_epi32(rows12, place);
    t.br = _mm256_permutevar8x32_epi32(rows12, nextColumn);
    return t;
}

// The bilinear filter of fetch on two channels per 32-bit lane.
TB_INLINE __m256i lerp16(__m256i p, __m256i q, __m256i wp, __m256i wq) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(p, wp), _mm256_mullo_epi16(q, wq)), 8);
}

// Filtered texels as two planes: blue and red, green and alpha.
TB_INLINE void filter8(const Taps8& t, __m256i& br, __m256i& ga) {
    const __m256i m = _mm256_set1_epi32(0x00FF00FF), whole = _mm256_set1_epi32(0x01000100);
    const __m256i fu = _mm256_or_si256(t.fu, _mm256_slli_epi32(t.fu, 16));
    const __m256i fv = _mm256_or_si256(t.fv, _mm256_slli_epi32(t.fv, 16));
    const __m256i gu = _mm256_sub_epi16(whole, fu), gv = _mm256_sub_epi16(whole, fv);
    const __m256i topBR = lerp16(_mm256_and_si256(t.tl, m), _mm256_and_si256(t.tr, m), gu, fu);
    const __m256i botBR = lerp16(_mm256_and_si256(t.bl, m), _mm256_and_si256(t.br, m), gu, fu);
    const __m256i topGA = lerp16(_mm256_srli_epi16(t.tl, 8), _mm256_srli_epi16(t.tr, 8), gu, fu);
    const __m256i botGA = lerp16(_mm256_srli_epi16(t.bl, 8), _mm256_srli_epi16(t.br, 8), gu, fu);
    br = lerp16(topBR, botBR, gv, fv);
    ga = lerp16(topGA, botGA, gv, fv);
}

// Two negated vertex values, clamped to +-256 (which changes no saturated
// result), as the 16-bit halves of a lane.
TB_INLINE std::uint32_t negatedPair(int lo, int hi) {
    return std::uint32_t(std::uint16_t(std::clamp(-lo, -256, 256))) |
           (std::uint32_t(std::uint16_t(std::clamp(-hi, -256, 256))) << 16);
}

// One channel (at bit `shift`) of eight packed pixels as 32-bit lanes.
TB_INLINE __m256i channel8(__m256i p, int shift) {
    return _mm256_and_si256(_mm256_srli_epi32(p, shift), _mm256_set1_epi32(255));
}

TB_INLINE __m256i clamp8(__m256i v) {
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// combine() on eight pixels, one channel: ((texel - vertex) * scale) >> 8, clamped.
TB_INLINE __m256i combine8(__m256i texel, __m256i vertex, __m256i scale) {
    return clamp8(_mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(texel, vertex), scale), 8));
}

// blend<kBlend>() on eight pixels, one channel; fs and fd as in blend().
template <BlendKind kBlend>
TB_INLINE __m256i blend8(__m256i sc, __m256i dc, __m256i fs, __m256i fd) {
    const __m256i top = _mm256_set1_epi32(255);
    if constexpr (kBlend == BlendKind::Alpha) {
        return _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(sc, fs), _mm256_mullo_epi32(dc, fd)), 8);
    } else if constexpr (kBlend == BlendKind::Additive) {
        (void)fs, (void)fd;
        return _mm256_min_epi32(_mm256_add_epi32(sc, dc), top);
    } else {
        (void)fd;
        return _mm256_min_epi32(_mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi32(sc, fs), 8), dc), top);
    }
}

// The flat vertex colour as the eight-pixel combine uses it: negated and as
// it is for the saturating combine, one channel a lane for the general one,
// and two to a lane, limited to 256, for the narrow one.
struct FlatColour8 {
    __m256i minusBR, minusGA, r, g, b, a, narrowBR, narrowGA;
    FlatColour8(int fr, int fg, int fb, int fa)
        : minusBR(_mm256_set1_epi32(int(negatedPair(fb, fr)))),
          minusGA(_mm256_set1_epi32(int(negatedPair(fg, fa)))),
          r(_mm256_set1_epi32(fr)),
          g(_mm256_set1_epi32(fg)),
          b(_mm256_set1_epi32(fb)),
          a(_mm256_set1_epi32(fa)),
          narrowBR(_mm256_set1_epi32(int(narrowPair(fb, fr)))),
          narrowGA(_mm256_set1_epi32(int(narrowPair(fg, fa)))) {}
    // Two values as the 16-bit halves of a lane, at most 256: a value of 256
    // or more leaves nothing of any texel (alpha + 1 <= 256), as 256 does.
    static std::uint32_t narrowPair(int lo, int hi) {
        return std::uint32_t(std::uint16_t(std::min(lo, 256))) |
               (std::uint32_t(std::uint16_t(std::min(hi, 256))) << 16);
    }
};

// The high 16-bit half of every 32-bit lane (alpha, in a green and alpha
// plane) copied into both halves.
TB_INLINE __m256i highHalves(__m256i v) {
    const __m256i pick = _mm256_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15, 2, 3, 2, 3, 6, 7, 6,
                                          7, 10, 11, 10, 11, 14, 15, 14, 15);
    return _mm256_shuffle_epi8(v, pick);
}

// Blend of combined colours two channels to a 16-bit lane pair (blue and
// red, green and alpha) over the destination; alpha is the combine's.
// Every sum of the alpha blend stays within 255 x 257, so 16 bits hold it.
template <BlendKind kBlend>
TB_INLINE __m256i blendPairs8(__m256i cBR, __m256i cGA, __m256i dst) {
    const __m256i pairMask = _mm256_set1_epi32(0x00FF00FF), top = _mm256_set1_epi16(255);
    const __m256i alphaHalf = _mm256_set1_epi32(int(0xFFFF0000u));
    if constexpr (kBlend != BlendKind::Opaque) {
        const __m256i dBR = _mm256_and_si256(dst, pairMask),
                      dGA = _mm256_and_si256(_mm256_srli_epi32(dst, 8), pairMask);
        const __m256i fs = _mm256_add_epi16(highHalves(cGA), _mm256_set1_epi16(1));  // alpha + 1, both halves
        __m256i oBR, oGA;
        if constexpr (kBlend == BlendKind::Alpha) {
            const __m256i fd = _mm256_sub_epi16(_mm256_set1_epi16(256), _mm256_sub_epi16(fs, _mm256_set1_epi16(1)));
            oBR = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(cBR, fs), _mm256_mullo_epi16(dBR, fd)), 8);
            oGA = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(cGA, fs), _mm256_mullo_epi16(dGA, fd)), 8);
        } else if constexpr (kBlend == BlendKind::Additive) {
            oBR = _mm256_min_epi16(_mm256_add_epi16(cBR, dBR), top);
            oGA = _mm256_min_epi16(_mm256_add_epi16(cGA, dGA), top);
        } else {
            oBR = _mm256_min_epi16(_mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(cBR, fs), 8), dBR), top);
            oGA = _mm256_min_epi16(_mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(cGA, fs), 8), dGA), top);
        }
        cBR = oBR;
        cGA = _mm256_blendv_epi8(oGA, cGA, alphaHalf);
    }
    return _mm256_or_si256(cBR, _mm256_slli_epi32(cGA, 8));
}

// Combine and blend of eight filtered texels (blue and red, green and alpha
// planes) with a flat colour over the eight destination pixels. The
// saturating and narrow combines keep the filter's two-to-a-lane planes to
// the end; the general one works one channel per 32-bit lane.
template <BlendKind kBlend, CombineKind kCombine>
TB_INLINE __m256i shade8(__m256i br, __m256i ga, __m256i dst, const FlatColour8& flat) {
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(255);
    if constexpr (kCombine == CombineKind::Saturating) {
        br = _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(br, flat.minusBR), zero), top);
        ga = _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(ga, flat.minusGA), zero), top);
        return blendPairs8<kBlend>(br, ga, dst);
    } else if constexpr (kCombine == CombineKind::FlatNarrow) {
        // ((texel - vertex) x (alpha + 1)) >> 8 as the high half of
        // ((texel - vertex) << 6) x ((alpha + 1) << 2): both factors fit 16
        // signed bits (texel - vertex lies in -256..511), and the high half
        // of a product is its arithmetic shift.
        const __m256i scale = _mm256_slli_epi16(_mm256_add_epi16(highHalves(ga), _mm256_set1_epi16(1)), 2);
        br = _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(br, flat.narrowBR), 6), scale);
        ga = _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(ga, flat.narrowGA), 6), scale);
        br = _mm256_min_epi16(_mm256_max_epi16(br, zero), top);
        ga = _mm256_min_epi16(_mm256_max_epi16(ga, zero), top);
        return blendPairs8<kBlend>(br, ga, dst);
    } else {
        const __m256i one = _mm256_set1_epi32(1), whole = _mm256_set1_epi32(256), low16 = _mm256_set1_epi32(0xFFFF);
        const __m256i ta = _mm256_srli_epi32(ga, 16), scale = _mm256_add_epi32(ta, one);
        __m256i cb = combine8(_mm256_and_si256(br, low16), flat.b, scale);
        __m256i cr = combine8(_mm256_srli_epi32(br, 16), flat.r, scale);
        __m256i cg = combine8(_mm256_and_si256(ga, low16), flat.g, scale);
        const __m256i ca = combine8(ta, flat.a, scale);
        if constexpr (kBlend != BlendKind::Opaque) {
            const __m256i fs = _mm256_add_epi32(ca, one), fd = _mm256_sub_epi32(whole, ca);
            cr = blend8<kBlend>(cr, channel8(dst, 16), fs, fd);
            cg = blend8<kBlend>(cg, channel8(dst, 8), fs, fd);
            cb = blend8<kBlend>(cb, channel8(dst, 0), fs, fd);
        }
        return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(ca, 24), _mm256_slli_epi32(cr, 16)),
                               _mm256_or_si256(_mm256_slli_epi32(cg, 8), cb));
    }
}

template <BlendKind kBlend, bool kPerspective, CombineKind kCombine, bool kFastModes>
void drawRows(const Triangle& tr, const Row* rows, int n, const RenderState& st);

// Plane::at() on four pixel centres, in the same order of operations.
TB_INLINE __m256d at4(const Plane& p, __m256d cx, __m256d cy) {
    return _mm256_add_pd(_mm256_add_pd(_mm256_set1_pd(p.p0), _mm256_mul_pd(_mm256_set1_pd(p.dx), cx)),
                         _mm256_mul_pd(_mm256_set1_pd(p.dy), cy));
}

// saturate() on four values, the floor as an instruction.
TB_INLINE __m256d saturate4(__m256d v, double limit) {
    __m256d f = _mm256_floor_pd(_mm256_add_pd(v, _mm256_set1_pd(0.5)));
    f = _mm256_blendv_pd(f, _mm256_set1_pd(limit), _mm256_cmp_pd(v, _mm256_set1_pd(limit), _CMP_NLT_UQ));
    return _mm256_blendv_pd(f, _mm256_set1_pd(-limit), _mm256_cmp_pd(v, _mm256_set1_pd(-limit), _CMP_NGT_UQ));
}

// texStart() of a wrapped coordinate on four values, as the low 32 bits of
// the fixed-point results (all that the eight-pixel loops step).
TB_INLINE __m128i wrappedTexStart4(__m256d texel, int size, double invSize) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), texel);
    texel = _mm256_blendv_pd(texel, _mm256_setzero_pd(), _mm256_cmp_pd(magnitude, _mm256_set1_pd(1e15), _CMP_NLT_UQ));
    const __m256d whole = _mm256_floor_pd(_mm256_mul_pd(texel, _mm256_set1_pd(invSize)));
    texel = _mm256_sub_pd(texel, _mm256_mul_pd(_mm256_set1_pd(double(size)), whole));
    const __m256d fixed = saturate4(_mm256_mul_pd(texel, _mm256_set1_pd(kTexOne)), double(std::int64_t(1) << 50));
    // A whole number below 2^51 in size, added to 1.5 x 2^52, lands in the
    // mantissa's low bits: the low 32 bits of each lane are its own.
    const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(fixed, _mm256_set1_pd(6755399441055744.0)));
    return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(bits, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
}

// rowStart<true, true>() of the rows of an affine triangle, four rows at a
// time, lane by lane the same operations: depth as whole numbers held in
// doubles, u and v as the low 32 bits of their values. Writes up to three
// entries past n.
TB_INLINE void affineRowStarts(const Triangle& tr, const Row* rows, int n, double* z, std::uint32_t* u,
                               std::uint32_t* v) {
    const __m256d half = _mm256_set1_pd(0.5), x0 = _mm256_set1_pd(tr.x0), y0 = _mm256_set1_pd(tr.y0);
    const __m256d tpu = _mm256_set1_pd(tr.tpu), offset = _mm256_set1_pd(tr.texOffset);
    for (int k = 0; k < n; k += 4) {
        const Row& r0 = rows[k];
        const Row& r1 = rows[std::min(k + 1, n - 1)];
        const Row& r2 = rows[std::min(k + 2, n - 1)];
        const Row& r3 = rows[std::min(k + 3, n - 1)];
        const __m256d cx = _mm256_sub_pd(
            _mm256_add_pd(_mm256_cvtepi32_pd(_mm_setr_epi32(r0.left, r1.left, r2.left, r3.left)), half), x0);
        const __m256d cy =
            _mm256_sub_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm_setr_epi32(r0.y, r1.y, r2.y, r3.y)), half), y0);
        _mm256_storeu_pd(z + k, saturate4(_mm256_mul_pd(at4(tr.ooz, cx, cy), _mm256_set1_pd(kIterOne)), kStepLimit));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(u + k),
            wrappedTexStart4(_mm256_sub_pd(_mm256_mul_pd(at4(tr.s, cx, cy), tpu), offset), tr.tex.width, tr.invWidth));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v + k),
                         wrappedTexStart4(_mm256_sub_pd(_mm256_mul_pd(at4(tr.t, cx, cy), tpu), offset), tr.tex.height,
                                          tr.invHeight));
    }
}

// The rows of an affine triangle with flat colour in the game's depth and
// sampler modes, under one of the four blend settings, eight pixels at a
// time. A row whose depth does not fit the lanes goes through the one-pixel loop.
template <BlendKind kBlend, CombineKind kCombine>
void affineRows8(const Triangle& tr, const Row* rows, int n, const RenderState& st) {
    const TextureView tex = tr.tex;
    Buffers& buf = buffers();
    std::uint32_t* const colourBase = buf.backColour();
    std::uint16_t* const depthBase = buf.depth.data();
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const std::uint32_t du = std::uint32_t(tr.du), dv = std::uint32_t(tr.dv), dz = std::uint32_t(tr.dz);
    const __m256i laneU = _mm256_mullo_epi32(laneIndex, _mm256_set1_epi32(int(du)));
    const __m256i laneV = _mm256_mullo_epi32(laneIndex, _mm256_set1_epi32(int(dv)));
    const __m256i laneZ = _mm256_mullo_epi32(laneIndex, _mm256_set1_epi32(int(dz)));
    const __m256i U8 = _mm256_set1_epi32(int(du * 8u)), V8 = _mm256_set1_epi32(int(dv * 8u));
    const __m256i Z8 = _mm256_set1_epi32(int(dz * 8u));
    const __m256i wMask = _mm256_set1_epi32(tex.width - 1), hMask = _mm256_set1_epi32(tex.height - 1);
    const FlatColour8 flat(tr.fr, tr.fg, tr.fb, tr.fa);
    const __m128i all = _mm_set1_epi16(-1);
    // Eight pixels span less than a texel each way: their taps come from a block.
    constexpr std::int64_t kTexel = std::int64_t(1) << kTexBits;
    const bool magnified = std::abs(tr.du) * 7 < kTexel && std::abs(tr.dv) * 7 < kTexel;
    const __m256i firstLaneU = _mm256_set1_epi32(tr.du < 0 ? 7 : 0), firstLaneV = _mm256_set1_epi32(tr.dv < 0 ? 7 : 0);

    // The rows' start values first, four rows at a time.
    static double startZ[kScreenHeight + 3];
    static std::uint32_t startU[kScreenHeight + 3], startV[kScreenHeight + 3];
    affineRowStarts(tr, rows, n, startZ, startU, startV);

    for (int k = 0; k < n; ++k) {
        const Row& row = rows[k];
        const int count = row.right - row.left;
        DepthRun zr;
        if (!zr.init(std::int64_t(startZ[k]), tr.dz, count)) {
            drawRows<kBlend, false, kCombine, true>(tr, &row, 1, st);
            continue;
        }
        __m256i U = _mm256_add_epi32(_mm256_set1_epi32(int(startU[k])), laneU);
        __m256i V = _mm256_add_epi32(_mm256_set1_epi32(int(startV[k])), laneV);
        __m256i Z = _mm256_add_epi32(_mm256_set1_epi32(int(zr.z)), laneZ);
        const __m128i constZ = _mm_set1_epi16(short(zr.value));
        // Eight pixels at colour and depth; `lanes` limits the depth test to the
        // pixels that belong to the row.
        auto eight = [&](std::uint32_t* colour, std::uint16_t* depth, __m128i lanes) TB_INLINE_LAMBDA {
            __m128i zi = constZ;
            if (!zr.constant) {
                const __m256i q = _mm256_min_epi32(_mm256_srli_epi32(Z, kIterBits), _mm256_set1_epi32(0xFFFF));
                zi = _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(q, q), 0x08));
                Z = _mm256_add_epi32(Z, Z8);
            }
            const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth));
            const __m128i pass = _mm_and_si128(_mm_cmpeq_epi16(_mm_min_epu16(zi, stored), zi), lanes);
            if (_mm_movemask_epi8(pass) != 0) {
                __m256i br, ga;
                filter8(magnified ? fetchBlock8(tex.padded, tex.stride, U, V, wMask, hMask, firstLaneU, firstLaneV)
                                  : fetch8(tex.padded, tex.stride, U, V, wMask, hMask),
                        br, ga);
                __m256i* out = reinterpret_cast<__m256i*>(colour);
                const __m256i dst = _mm256_loadu_si256(out);
                const __m256i pixel = shade8<kBlend, kCombine>(br, ga, dst, flat);
                _mm256_storeu_si256(out, _mm256_blendv_epi8(dst, pixel, _mm256_cvtepi16_epi32(pass)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(depth), _mm_blendv_epi8(stored, zi, pass));
            }
            U = _mm256_add_epi32(U, U8);
            V = _mm256_add_epi32(V, V8);
        };
        std::uint32_t* const colour = colourBase + row.y * kScreenWidth + row.left;
        std::uint16_t* const depth = depthBase + row.y * kScreenWidth + row.left;
        const int whole8 = count & ~7;
        for (int i = 0; i < whole8; i += 8) eight(colour + i, depth + i, all);
        // The last group reaches past the row (into the next row or the
        // buffer's slack); the lanes past it fail the test and keep their values.
        if (const int rest = count - whole8; rest > 0)
            eight(colour + whole8, depth + whole8,
                  _mm_cmpgt_epi16(_mm_set1_epi16(short(rest)), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7)));
    }
    // The compiler does not clear the upper halves on every way out, and
    // left dirty they slow down every later SSE instruction of the caller.
    _mm256_zeroupper();
}

// perspectiveTexel() on four values.
TB_INLINE __m128i perspectiveTexel4(__m256d t) {
    t = _mm256_min_pd(_mm256_max_pd(t, _mm256_set1_pd(-double(1 << 22))), _mm256_set1_pd(double(1 << 22)));
    return _mm256_cvttpd_epi32(_mm256_floor_pd(_mm256_mul_pd(t, _mm256_set1_pd(256.0))));
}

// Pixels of a perspective triangle with flat colour in the game's depth and
// sampler modes, under one of the four blend settings, eight at a time from
// a list of pixel positions (count a multiple of four; a list may repeat
// its last pixel to get there, which draws it the same way twice). Small
// far-away triangles cover a pixel or two a row, so taking the pixels of all
// rows together keeps the lanes full. Every value is the one-pixel loop's,
// lane by lane.
template <BlendKind kBlend, CombineKind kCombine>
void perspectivePixels8(const Triangle& tr, const std::int32_t* xs, const std::int32_t* ys, int count) {
    const TextureView tex = tr.tex;
    Buffers& buf = buffers();
    std::uint32_t* const colourBase = buf.backColour();
    std::uint16_t* const depthBase = buf.depth.data();
    const __m256d half = _mm256_set1_pd(0.5), x0 = _mm256_set1_pd(tr.x0), y0 = _mm256_set1_pd(tr.y0);
    const __m256d zero = _mm256_setzero_pd(), depthMax = _mm256_set1_pd(65535.0);
    const __m256d iterOne = _mm256_set1_pd(kIterOne), iterInverse = _mm256_set1_pd(1.0 / kIterOne);
    const __m256d tpu = _mm256_set1_pd(tex.texelsPerUnit), offset = _mm256_set1_pd(tr.texOffset);
    const __m256i wMask = _mm256_set1_epi32(tex.width - 1), hMask = _mm256_set1_epi32(tex.height - 1);
    const FlatColour8 flat(tr.fr, tr.fg, tr.fb, tr.fa);
    // Depth and texel coordinates (8 fractional bits) of four pixels.
    auto four = [&](__m128i px, __m128i py, __m128i& z, __m128i& u, __m128i& v) {
        const __m256d cx = _mm256_sub_pd(_mm256_add_pd(_mm256_cvtepi32_pd(px), half), x0);
        const __m256d cy = _mm256_sub_pd(_mm256_add_pd(_mm256_cvtepi32_pd(py), half), y0);
        const __m256d rounded = _mm256_add_pd(_mm256_mul_pd(at4(tr.ooz, cx, cy), iterOne), half);
        const __m256d q = _mm256_floor_pd(_mm256_mul_pd(rounded, iterInverse));
        z = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(q, zero), depthMax));
        const __m256d scale = _mm256_div_pd(tpu, at4(tr.w, cx, cy));
        u = perspectiveTexel4(_mm256_sub_pd(_mm256_mul_pd(at4(tr.s, cx, cy), scale), offset));
        v = perspectiveTexel4(_mm256_sub_pd(_mm256_mul_pd(at4(tr.t, cx, cy), scale), offset));
    };
    for (int i = 0; i < count; i += 8) {
        // Four pixels left (most small triangles): the high lanes repeat them.
        const bool lastFour = count - i == 4;
        const __m256i X = lastFour
                              ? _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(xs + i)))
                              : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xs + i));
        const __m256i Y = lastFour
                              ? _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ys + i)))
                              : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ys + i));
        alignas(32) std::int32_t index[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(index),
                           _mm256_add_epi32(_mm256_mullo_epi32(Y, _mm256_set1_epi32(kScreenWidth)), X));
        __m128i zLow, zHigh, uLow, uHigh, vLow, vHigh;
        four(_mm256_castsi256_si128(X), _mm256_castsi256_si128(Y), zLow, uLow, vLow);
        if (lastFour) {
            zHigh = zLow;
            uHigh = uLow;
            vHigh = vLow;
        } else {
            four(_mm256_extracti128_si256(X, 1), _mm256_extracti128_si256(Y, 1), zHigh, uHigh, vHigh);
        }
        const __m128i zi = _mm_packus_epi32(zLow, zHigh);
        const __m128i stored =
            _mm_setr_epi16(short(depthBase[index[0]]), short(depthBase[index[1]]), short(depthBase[index[2]]),
                           short(depthBase[index[3]]), short(depthBase[index[4]]), short(depthBase[index[5]]),
                           short(depthBase[index[6]]), short(depthBase[index[7]]));
        const __m128i pass = _mm_cmpeq_epi16(_mm_min_epu16(zi, stored), zi);
        if (_mm_movemask_epi8(pass) == 0) continue;
        const __m256i U = _mm256_slli_epi32(_mm256_inserti128_si256(_mm256_castsi128_si256(uLow), uHigh, 1), 16);
        const __m256i V = _mm256_slli_epi32(_mm256_inserti128_si256(_mm256_castsi128_si256(vLow), vHigh, 1), 16);
        const __m256i dst = _mm256_i32gather_epi32(reinterpret_cast<const int*>(colourBase),
                                                   _mm256_load_si256(reinterpret_cast<const __m256i*>(index)), 4);
        __m256i br, ga;
        filter8(fetch8(tex.padded, tex.stride, U, V, wMask, hMask), br, ga);
        alignas(32) std::uint32_t colour[8];
        alignas(16) std::uint16_t depth[8];
        _mm256_store_si256(
            reinterpret_cast<__m256i*>(colour),
            _mm256_blendv_epi8(dst, shade8<kBlend, kCombine>(br, ga, dst, flat), _mm256_cvtepi16_epi32(pass)));
        _mm_store_si128(reinterpret_cast<__m128i*>(depth), _mm_blendv_epi8(stored, zi, pass));
        for (int k = 0; k < 8; ++k) {
            colourBase[index[k]] = colour[k];
            depthBase[index[k]] = depth[k];
        }
    }
    _mm256_zeroupper();
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
// The rows of a triangle one pixel at a time, for every mode; the game's
// depth and sampler modes (kFastModes) are compiled in, any other mode is
// checked at run time.
template <BlendKind kBlend, bool kPerspective, CombineKind kCombine, bool kFastModes>
void drawRows(const Triangle& tr, const Row* rows, int n, const RenderState& st) {
    constexpr bool kFlat = kCombine != CombineKind::Iterated;
    // Everything the loop steps or reads lives in locals: the colour writes
    // could otherwise alias the triangle record and force it through memory.
    const TextureView tex = tr.tex;
    Buffers& buf = buffers();
    std::uint32_t* const colourBase = buf.backColour();
    std::uint16_t* const depthBase = buf.depth.data();
    const double texOffset = tr.texOffset;
    const std::int64_t fracMask = texOffset != 0.0 ? ~std::int64_t(0) : ~std::int64_t(255);
    const bool depthOn = st.depthMode != GR_DEPTHBUFFER_DISABLE;
    const bool depthWrite = depthOn && st.depthMask;
    const GrCmpFnc_t depthFunc = st.depthFunc;
    const int fr = tr.fr, fg = tr.fg, fb = tr.fb, fa = tr.fa;
    const __m128i minusVertex =
        _mm_setr_epi16(short(std::clamp(-fb, -256, 256)), short(std::clamp(-fg, -256, 256)),
                       short(std::clamp(-fr, -256, 256)), short(std::clamp(-fa, -256, 256)), 0, 0, 0, 0);
    const std::int64_t dz = tr.dz, du = tr.du, dv = tr.dv, dr = tr.dr, dg = tr.dg, db = tr.db, da = tr.da;

    for (int k = 0; k < n; ++k) {
        const Row row = rows[k];
        const RowStart rs = rowStart<!kPerspective, kFlat>(tr, row);
        std::uint32_t* const colour = colourBase + row.y * kScreenWidth + row.left;
        std::uint16_t* const depth = depthBase + row.y * kScreenWidth + row.left;
        const int count = row.right - row.left;
        std::int64_t z = rs.z, u = rs.u, v = rs.v, r = rs.r, g = rs.g, b = rs.b, a = rs.a;
        const double cy = row.y + 0.5 - tr.y0;
        for (int i = 0; i < count; ++i) {
            // Perspective triangles are evaluated afresh at every pixel centre:
            // the result depends on the pixel alone, not on how it was reached.
            const double cx = row.left + i + 0.5 - tr.x0;
            std::uint32_t zi;
            if constexpr (kPerspective) {
                zi = depthAt(tr.ooz.at(cx, cy));
            } else {
                zi = depthValue(z);
            }
            bool pass;
            if constexpr (kFastModes) {
                pass = zi <= depth[i];
            } else {
                pass = !depthOn || depthPasses(depthFunc, zi, depth[i]);
            }
            if (pass) {
                std::int64_t tu, tv;
                if constexpr (kPerspective) {
                    const double scale = tex.texelsPerUnit / tr.w.at(cx, cy);
                    tu = perspectiveTexel(tr.s.at(cx, cy) * scale - texOffset);
                    tv = perspectiveTexel(tr.t.at(cx, cy) * scale - texOffset);
                } else {
                    tu = u >> (kTexBits - 8);
                    tv = v >> (kTexBits - 8);
                }
                if constexpr (!kFastModes) {
                    tu &= fracMask;
                    tv &= fracMask;
                }
                const __m128i t = fetch<kFastModes>(tex, tu, tv, st);
                if constexpr (kCombine == CombineKind::Saturating && kBlend == BlendKind::Opaque) {
                    colour[i] = combineOpaque(t, minusVertex);
                } else {
                    Rgba c;
                    if constexpr (kCombine == CombineKind::Saturating) {
                        c = unpack(combineOpaque(t, minusVertex));
                    } else if constexpr (kCombine == CombineKind::FlatGeneral || kCombine == CombineKind::FlatNarrow) {
                        c = combine(t, fr, fg, fb, fa);
                    } else {
                        c = combine(t, iterColour(r), iterColour(g), iterColour(b), iterColour(a));
                    }
                    colour[i] = blend<kBlend>(c, colour[i], st);
                }
                if (kFastModes || depthWrite) depth[i] = std::uint16_t(zi);
            }
            if constexpr (!kPerspective) {
                z += dz;
                u += du;
                v += dv;
            }
            if constexpr (!kFlat) {
                r += dr;
                g += dg;
                b += db;
                a += da;
            }
        }
    }
}

template <BlendKind kBlend, bool kFastModes>
RowsFn pickRows(bool perspective, CombineKind combine) {
    if constexpr (kFastModes && kBlend != BlendKind::General) {
        if (!perspective && haveAvx2()) {
            if (combine == CombineKind::Saturating) return affineRows8<kBlend, CombineKind::Saturating>;
            if (combine == CombineKind::FlatGeneral) return affineRows8<kBlend, CombineKind::FlatGeneral>;
            if (combine == CombineKind::FlatNarrow) return affineRows8<kBlend, CombineKind::FlatNarrow>;
        }
    }
    switch (combine) {
        case CombineKind::Saturating:
            return perspective ? drawRows<kBlend, true, CombineKind::Saturating, kFastModes>
                               : drawRows<kBlend, false, CombineKind::Saturating, kFastModes>;
        case CombineKind::FlatGeneral:
        case CombineKind::FlatNarrow:
            return perspective ? drawRows<kBlend, true, CombineKind::FlatGeneral, kFastModes>
                               : drawRows<kBlend, false, CombineKind::FlatGeneral, kFastModes>;
        default:
            return perspective ? drawRows<kBlend, true, CombineKind::Iterated, kFastModes>
                               : drawRows<kBlend, false, CombineKind::Iterated, kFastModes>;
    }
}

// The game's depth and texture modes get loops per blend setting (eight
// pixels at a time for affine triangles with flat colour where the CPU has
// AVX2); any other mode combination runs the general blend with its checks at run time.
RowsFn pickRows(bool fastModes, BlendKind blend, bool perspective, CombineKind combine) {
    if (!fastModes) return pickRows<BlendKind::General, false>(perspective, combine);
    switch (blend) {
        case BlendKind::Opaque: return pickRows<BlendKind::Opaque, true>(perspective, combine);
        case BlendKind::Alpha: return pickRows<BlendKind::Alpha, true>(perspective, combine);
        case BlendKind::Additive: return pickRows<BlendKind::Additive, true>(perspective, combine);
        case BlendKind::AlphaAdditive: return pickRows<BlendKind::AlphaAdditive, true>(perspective, combine);
        default: return pickRows<BlendKind::General, true>(perspective, combine);
    }
}

using PixelsFn = void (*)(const Triangle&, const std::int32_t*, const std::int32_t*, int);

template <BlendKind kBlend>
PixelsFn pickPixels(CombineKind combine) {
    switch (combine) {
        case CombineKind::Saturating: return perspectivePixels8<kBlend, CombineKind::Saturating>;
        case CombineKind::FlatNarrow: return perspectivePixels8<kBlend, CombineKind::FlatNarrow>;
        default: return perspectivePixels8<kBlend, CombineKind::FlatGeneral>;
    }
}

// The eight-pixel perspective loop for a blend setting other than General
// and a flat combine.
PixelsFn pickPixels(BlendKind blend, CombineKind combine) {
    switch (blend) {
        case BlendKind::Alpha: return pickPixels<BlendKind::Alpha>(combine);
        case BlendKind::Additive: return pickPixels<BlendKind::Additive>(combine);
        case BlendKind::AlphaAdditive: return pickPixels<BlendKind::AlphaAdditive>(combine);
        default: return pickPixels<BlendKind::Opaque>(combine);
    }
}

// Pads a pixel list to a multiple of four by repeating its last pixel
// (count > 0; the arrays have room for three more); returns the new count.
int padToFour(std::int32_t* xs, std::int32_t* ys, int count) {
    // Always three copies: a loop to the next multiple would be a branch
    // that most small triangles mispredict.
    for (int k = 0; k < 3; ++k) {
        xs[count + k] = xs[count - 1];
        ys[count + k] = ys[count - 1];
    }
    return (count + 3) & ~3;
}

// Collects the pixels of the rows into lists of up to kBatch positions and
// draws each list, padded to a multiple of four with its last pixel.
void drawPixelList(PixelsFn draw, const Triangle& tr, const Row* rows, int n) {
    constexpr int kBatch = 256;
    alignas(32) std::int32_t xs[kBatch + 4], ys[kBatch + 4];
    int count = 0;
    auto flush = [&] {
        draw(tr, xs, ys, padToFour(xs, ys, count));
        count = 0;
    };
    for (int k = 0; k < n; ++k) {
        for (int x = rows[k].left; x < rows[k].right; ++x) {
            xs[count] = x;
            ys[count] = rows[k].y;
            if (++count == kBatch) flush();
        }
    }
    if (count > 0) flush();
}

// A non-horizontal edge from (xa, ya) down to (xb, yb), in 1/16 pixel.
// Pixel px of row py is right of (or on) the edge when its centre
// px*16 + 8 >= the edge's x at y = py*16 + 8, i.e. px >= ceil(n / d) with
// n = xa*dy + (y - ya)*dx - 8*dy and d = 16*dy. Using the same rounding for
// left and right edges means a pixel on an edge belongs to the triangle on
// its right: left edges are drawn, right edges not. The column is stepped
// from row to row exactly, as a quotient and remainder, without dividing.
struct EdgeWalk {
    std::int64_t column = 0;  // ceil(n / d)
    std::int64_t excess = 0;  // column * d - n, in [0, d)
    std::int64_t d = 1, stepColumns = 0, stepExcess = 0;

    EdgeWalk() = default;
    TB_INLINE EdgeWalk(std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb, int firstRow) {
        const std::int64_t dx = xb - xa, dy = yb - ya;
        d = 16 * dy;
        const std::int64_t n = xa * dy + (std::int64_t(firstRow) * 16 + 8 - ya) * dx - 8 * dy;
        column = ceilDiv(n, d);
        excess = column * d - n;
        // One row down adds 16*dx to n.
        stepColumns = floorDiv(16 * dx, d);
        stepExcess = 16 * dx - stepColumns * d;
    }
    int screenColumn() const { return int(std::clamp<std::int64_t>(column, 0, kScreenWidth)); }
    // Without a branch: whether the excess runs out changes from row to row
    // with no pattern a predictor could learn.
    TB_INLINE void nextRow() {
        excess -= stepExcess;
        const std::int64_t borrow = excess >> 63;  // -1 when it ran out, else 0
        excess += d & borrow;
        column += stepColumns - borrow;
    }
};

// The vertices sorted by y for the scan: top, middle, bottom (ties keep the
// order passed). The long edge (top to bottom) is on the left when the
// middle vertex lies to its right.
struct ScanOrder {
    int top = 0, mid = 1, bot = 2;
    bool longLeft;
    TB_INLINE ScanOrder(const std::int64_t* X, const std::int64_t* Y) {
        if (Y[mid] < Y[top]) std::swap(top, mid);
        if (Y[bot] < Y[mid] || (Y[bot] == Y[mid] && bot < mid)) std::swap(mid, bot);
        if (Y[mid] < Y[top] || (Y[mid] == Y[top] && mid < top)) std::swap(top, mid);
        longLeft = (X[bot] - X[top]) * (Y[mid] - Y[top]) - (Y[bot] - Y[top]) * (X[mid] - X[top]) < 0;
    }
};

// Floor of a value whose magnitude is far below 2^62 (snapped coordinates).
TB_INLINE std::int64_t floorToInt(double h) {
    const std::int64_t t = std::int64_t(h);
    return t - (double(t) > h);
}

// First pixel row whose centre lies at or below y (1/16 pixel), clamped to the screen.
TB_INLINE int firstRow(std::int64_t y) { return int(std::clamp<std::int64_t>(ceilDiv16(y - 8), 0, kScreenHeight)); }

// With one w for the whole triangle, s and t are affine on the screen.
TB_INLINE bool oneW(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    return a.oow == b.oow && b.oow == c.oow;
}
TB_INLINE bool oneColour(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    return a.r == b.r && b.r == c.r && a.g == b.g && b.g == c.g && a.b == b.b && b.b == c.b && a.a == b.a && b.a == c.a;
}

// The planes, steps and flat colour of a triangle whose vertices snapped
// to X, Y (1/16 pixel); affine and flat as oneW and oneColour say.
Triangle setUpTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c, const std::int64_t* X,
                       const std::int64_t* Y, bool affine, bool flat, const RenderState& st) {
    // Parameter planes in pixels relative to vertex 0.
    const double dx1 = double(X[1] - X[0]) / 16.0, dy1 = double(Y[1] - Y[0]) / 16.0;
    const double dx2 = double(X[2] - X[0]) / 16.0, dy2 = double(Y[2] - Y[0]) / 16.0;
    const double invDet = 1.0 / (dx1 * dy2 - dx2 * dy1);
    auto plane = [&](double p0, double p1, double p2) __attribute__((always_inline)) {
        Plane p;
        p.p0 = p0;
        p.dx = ((p1 - p0) * dy2 - (p2 - p0) * dy1) * invDet;
        p.dy = ((p2 - p0) * dx1 - (p1 - p0) * dx2) * invDet;
        return p;
    };

    // Filled field by field: zeroing the whole record first costs more than
    // the rest of the set-up of a small triangle.
    Triangle tr;
    tr.tex = st.texture;
    tr.invWidth = tr.invHeight = 0;
    tr.du = tr.dv = tr.dr = tr.dg = tr.db = tr.da = 0;
    tr.fr = tr.fg = tr.fb = tr.fa = 0;
    tr.texOffset = st.bilinear ? 0.5 : 0.0;
    tr.clampS = st.clampS;
    tr.clampT = st.clampT;
    tr.x0 = double(X[0]) / 16.0;
    tr.y0 = double(Y[0]) / 16.0;
    tr.tpu = tr.tex.texelsPerUnit;
    tr.ooz = plane(a.ooz, b.ooz, c.ooz);
    tr.affine = affine;
    tr.flat = flat;
    if (tr.affine) {
        tr.invWidth = 1.0 / double(tr.tex.width);
        tr.invHeight = 1.0 / double(tr.tex.height);
        tr.s = plane(double(a.tmuvtx[0].sow) / a.oow, double(b.tmuvtx[0].sow) / b.oow, double(c.tmuvtx[0].sow) / c.oow);
        tr.t = plane(double(a.tmuvtx[0].tow) / a.oow, double(b.tmuvtx[0].tow) / b.oow, double(c.tmuvtx[0].tow) / c.oow);
        constexpr double kTexStepLimit = double(std::int64_t(1) << 20) * kTexOne;
        tr.du = saturate(tr.s.dx * tr.tpu * kTexOne, kTexStepLimit);
        tr.dv = saturate(tr.t.dx * tr.tpu * kTexOne, kTexStepLimit);
    } else {
        tr.s = plane(a.tmuvtx[0].sow, b.tmuvtx[0].sow, c.tmuvtx[0].sow);
        tr.t = plane(a.tmuvtx[0].tow, b.tmuvtx[0].tow, c.tmuvtx[0].tow);
        tr.w = plane(a.oow, b.oow, c.oow);
    }
    tr.dz = saturate(tr.ooz.dx * kIterOne, kStepLimit);
    if (tr.flat) {
        // The colour's whole part, limited to +-kColourLimit (NaN to the lower end).
        auto flatValue = [](float f) __attribute__((always_inline)) {
            const double v = double(f) >= -kColourLimit ? double(f) : -kColourLimit;
            return int(floorToInt(std::min(v, double(kColourLimit))));
        };
        tr.fr = flatValue(a.r);
        tr.fg = flatValue(a.g);
        tr.fb = flatValue(a.b);
        tr.fa = flatValue(a.a);
    } else {
        tr.red = plane(a.r, b.r, c.r);
        tr.green = plane(a.g, b.g, c.g);
        tr.blue = plane(a.b, b.b, c.b);
        tr.alpha = plane(a.a, b.a, c.a);
        tr.dr = saturate(tr.red.dx * kIterOne, kStepLimit);
        tr.dg = saturate(tr.green.dx * kIterOne, kStepLimit);
        tr.db = saturate(tr.blue.dx * kIterOne, kStepLimit);
        tr.da = saturate(tr.alpha.dx * kIterOne, kStepLimit);
    }
    return tr;
}

CombineKind combineKind(const Triangle& tr) {
    if (!tr.flat) return CombineKind::Iterated;
    if (tr.tex.opaque) return CombineKind::Saturating;
    return std::min(std::min(tr.fr, tr.fg), std::min(tr.fb, tr.fa)) >= -256 ? CombineKind::FlatNarrow
                                                                            : CombineKind::FlatGeneral;
}

// For each mask of eight lanes, the indices of its set lanes in order, a nibble each.
constexpr std::array<std::uint32_t, 256> kCompress = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t mask = 0; mask < 256; ++mask) {
        int k = 0;
        for (std::uint32_t lane = 0; lane < 8; ++lane)
            if ((mask >> lane) & 1) table[mask] |= lane << (4 * k++);
    }
    return table;
}();

// A triangle edge as a test of the pixel centres of a small box: lane i of
// box row r lies on the triangle's side when g0 + i*gx + r*gy > 0.
struct EdgeTest {
    std::int32_t g0 = 1, gx = 0, gy = 0;  // a horizontal edge passes every centre
};

// An edge from (xa, ya) down to (xb, yb), 1/16 pixel, tested from the box's
// first pixel (column, row). A centre on a left edge belongs to the
// triangle, one on a right edge does not: the rule of EdgeWalk.
EdgeTest edgeTest(std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb, std::int64_t column,
                  std::int64_t row, bool left) {
    EdgeTest e;
    const std::int64_t dx = xb - xa, dy = yb - ya;
    if (dy == 0) return e;
    // f >= 0: the centre is right of the edge or on it.
    const std::int64_t f = (16 * column + 8 - xa) * dy - (16 * row + 8 - ya) * dx;
    const std::int64_t sign = left ? 1 : -1;
    e.g0 = std::int32_t(left ? f + 1 : -f);
    e.gx = std::int32_t(sign * 16 * dy);
    e.gy = std::int32_t(-sign * 16 * dx);
    return e;
}

// Triangles within a box of 8 x 9 pixel centres (most of a far-away scene)
// are tested against their three edges eight pixels at a time instead of
// being walked row by row; the covered pixels, packed together, are then
// drawn by the list loop. For perspective triangles with a flat colour;
// returns false for one too large for this.
__attribute__((target("avx2"))) bool drawSmallTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c,
                                                       const std::int64_t* X, const std::int64_t* Y,
                                                       const RenderState& st) {
    const std::int64_t minX = std::min(std::min(X[0], X[1]), X[2]), maxX = std::max(std::max(X[0], X[1]), X[2]);
    const std::int64_t minY = std::min(std::min(Y[0], Y[1]), Y[2]), maxY = std::max(std::max(Y[0], Y[1]), Y[2]);
    if (maxX - minX >= 144 || maxY - minY >= 144) return false;
    // Only centres inside the box can be covered; one on the box's right or
    // bottom side lies on a right or bottom edge.
    const std::int64_t column0 = ceilDiv16(minX - 8), columnEnd = ceilDiv16(maxX - 8);
    if (column0 < 0 || columnEnd > kScreenWidth || columnEnd - column0 > 8) return false;
    const int row0 = firstRow(minY), rowEnd = firstRow(maxY);
    if (column0 >= columnEnd || row0 >= rowEnd) return true;

    // The edges as the row walk sees them.
    const ScanOrder o(X, Y);
    const int top = o.top, mid = o.mid, bot = o.bot;
    const bool longLeft = o.longLeft;
    const EdgeTest edges[3] = {edgeTest(X[top], Y[top], X[bot], Y[bot], column0, row0, longLeft),
                               edgeTest(X[top], Y[top], X[mid], Y[mid], column0, row0, !longLeft),
                               edgeTest(X[mid], Y[mid], X[bot], Y[bot], column0, row0, !longLeft)};
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i g[3], gy[3];
    for (int e = 0; e < 3; ++e) {
        g[e] =
            _mm256_add_epi32(_mm256_set1_epi32(edges[e].g0), _mm256_mullo_epi32(lane, _mm256_set1_epi32(edges[e].gx)));
        gy[e] = _mm256_set1_epi32(edges[e].gy);
    }
    const int columns = int(columnEnd - column0);
    const int inBox = (1 << columns) - 1;
    const __m256i laneColumn = _mm256_add_epi32(lane, _mm256_set1_epi32(int(column0)));
    const __m256i nibbleShifts = _mm256_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28);

    // At most 9 rows of 8 (the box is under 9 pixels tall), and room for a whole row's store past them.
    alignas(32) std::int32_t xs[9 * 8 + 8], ys[9 * 8 + 8];
    int count = 0;
    for (int row = row0; row < rowEnd; ++row) {
        const __m256i inside =
            _mm256_cmpgt_epi32(_mm256_min_epi32(_mm256_min_epi32(g[0], g[1]), g[2]), _mm256_setzero_si256());
        const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(inside)) & inBox;
        const __m256i order =
            _mm256_and_si256(_mm256_srlv_epi32(_mm256_set1_epi32(int(kCompress[std::size_t(mask)])), nibbleShifts),
                             _mm256_set1_epi32(15));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(xs + count), _mm256_permutevar8x32_epi32(laneColumn, order));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ys + count), _mm256_set1_epi32(row));
        count += __builtin_popcount(unsigned(mask));
        for (int e = 0; e < 3; ++e) g[e] = _mm256_add_epi32(g[e], gy[e]);
    }
    _mm256_zeroupper();
    if (count == 0) return true;

    const Triangle tr = setUpTriangle(a, b, c, X, Y, false, true, st);
    pickPixels(st.blend, combineKind(tr))(tr, xs, ys, padToFour(xs, ys, count));
    return true;
}

}  // namespace

void useWideSpans(bool enabled) { wideSpans() = enabled && __builtin_cpu_supports("avx2"); }

void rasterTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    const RenderState& st = state();
    if (!rasterEnabled() || !st.texture.valid()) return;
    const GrVertex* v[3] = {&a, &b, &c};
    for (const GrVertex* p : v) {
        if (!(std::fabs(p->x) <= kSafeCoord && std::fabs(p->y) <= kSafeCoord)) return;
    }

    // Snap to 12.4 fixed point.
    std::int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = floorToInt(double(v[i]->x) * 16.0 + 0.5);
        Y[i] = floorToInt(double(v[i]->y) * 16.0 + 0.5);
    }

    // Signed area in the order passed; zero draws nothing.
    const std::int64_t area = (X[0] - X[1]) * (Y[1] - Y[2]) - (X[1] - X[2]) * (Y[0] - Y[1]);
    if (area == 0) return;
    if (st.cullMode == GR_CULL_POSITIVE && area > 0) return;
    if (st.cullMode == GR_CULL_NEGATIVE && area < 0) return;

    // Perspective triangles with a flat colour in the game's modes are drawn
    // from a list of their pixels, eight at a time.
    const bool fastModes = st.depthMode == GR_DEPTHBUFFER_ZBUFFER && st.depthFunc == GR_CMP_LEQUAL && st.depthMask &&
                           !st.clampS && !st.clampT && st.bilinear;
    const bool affine = oneW(a, b, c), flat = oneColour(a, b, c);
    const bool pixelList = fastModes && st.blend != BlendKind::General && haveAvx2() && !affine && flat;
    if (pixelList && drawSmallTriangle(a, b, c, X, Y, st)) return;

    // The covered pixels of each row, found before anything else is worked out.
    const ScanOrder o(X, Y);
    const int top = o.top, mid = o.mid, bot = o.bot;
    const bool longLeft = o.longLeft;
    if (Y[top] == Y[bot]) return;
    const int rowTop = firstRow(Y[top]), rowMid = firstRow(Y[mid]), rowBot = firstRow(Y[bot]);
    if (rowTop >= rowBot) return;
    // One triangle is drawn at a time, so the row list can be shared (and
    // kept off the stack, which would otherwise be probed page by page).
    static Row rows[kScreenHeight];
    int rowCount = 0;
    EdgeWalk longEdge(X[top], Y[top], X[bot], Y[bot], rowTop);
    for (int half = 0; half < 2; ++half) {
        const int rowBegin = half == 0 ? rowTop : rowMid;
        const int rowEnd = half == 0 ? rowMid : rowBot;
        if (rowBegin >= rowEnd) continue;
        EdgeWalk shortEdge = half == 0 ? EdgeWalk(X[top], Y[top], X[mid], Y[mid], rowBegin)
                                       : EdgeWalk(X[mid], Y[mid], X[bot], Y[bot], rowBegin);
        // Both edges stay local values (no references to pick sides), which
        // the compiler keeps in registers.
        for (int py = rowBegin; py < rowEnd; ++py, longEdge.nextRow(), shortEdge.nextRow()) {
            const int longColumn = longEdge.screenColumn(), shortColumn = shortEdge.screenColumn();
            const int left = longLeft ? longColumn : shortColumn, right = longLeft ? shortColumn : longColumn;
            rows[rowCount] = Row{py, left, right};
            rowCount += left < right;
        }
    }
    if (rowCount == 0) return;

    const Triangle tr = setUpTriangle(a, b, c, X, Y, affine, flat, st);
    const CombineKind combine = combineKind(tr);
    if (pixelList) {
        drawPixelList(pickPixels(st.blend, combine), tr, rows, rowCount);
        return;
    }
    pickRows(fastModes, st.blend, !tr.affine, combine)(tr, rows, rowCount, st);
}

}  // namespace softglide::detail
