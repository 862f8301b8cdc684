// The triangle rasteriser and its pixel stages: texture fetch, colour and
// alpha combine, depth test, blend and write. One span loop is instantiated
// per blend setting, texture mapping (perspective or affine) and combine
// (saturating for flat colour on an opaque texture, general otherwise), with
// the depth and sampler modes the game uses compiled in; any other mode goes
// through a loop that checks them at run time.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "internal.h"

namespace softglide::detail {
namespace {

// ---------------------------------------------------------------------------
// Number conversions. Every float-to-integer conversion goes through these,
// so NaN, infinities and huge values saturate instead of being undefined.

// Rounds to the nearest integer (halves up), saturating at +-limit (< 2^62).
inline std::int64_t saturate(double v, double limit) {
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
inline __m128i filterTaps(__m128i taps, unsigned fu, unsigned fv) {
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
inline __m128i fetch(const TextureView& tex, std::int64_t u, std::int64_t v, const RenderState& st) {
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

inline int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

struct Rgba {
    int r, g, b, a;
};

// Colour and alpha combine: (texture - iterated) scaled by texture alpha + 1,
// arithmetic shift, clamp. Iterated values may be negative (they brighten).
inline Rgba combine(__m128i texel, int vr, int vg, int vb, int va) {
    const std::uint32_t t = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(texel, texel)));
    const int ta = int(t >> 24), tr = int((t >> 16) & 255), tg = int((t >> 8) & 255), tb = int(t & 255);
    const int scale = ta + 1;
    return Rgba{clamp255(((tr - vr) * scale) >> 8), clamp255(((tg - vg) * scale) >> 8),
                clamp255(((tb - vb) * scale) >> 8), clamp255(((ta - va) * scale) >> 8)};
}

// The same combine for an opaque texel (alpha 255, scale 256): texel minus
// vertex value, clamped, done on all four channels at once. `minusVertex`
// holds the negated vertex values clamped to +-256, which changes no result.
inline std::uint32_t combineOpaque(__m128i texel, __m128i minusVertex) {
    const __m128i d = _mm_add_epi16(texel, minusVertex);
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(d, d)));
}

inline Rgba unpack(std::uint32_t p) {
    return Rgba{int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255), int(p >> 24)};
}

inline std::uint32_t pack(int r, int g, int b, int a) {
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

// Blend factor in 256ths for a Glide blend constant. In the source position
// code 2/6 mean the destination colour, in the destination position the
// source colour (the constants share values).
inline int blendFactor(GrAlphaBlendFnc_t f, bool isSource, int srcA, int dstA, int srcC, int dstC) {
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
inline std::uint32_t blend(const Rgba& s, std::uint32_t dst, const RenderState& st) {
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
inline bool depthPasses(GrCmpFnc_t f, std::uint32_t z, std::uint32_t stored) {
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

inline std::uint32_t depthValue(std::int64_t zFixed) {
    const std::int64_t z = zFixed >> kIterBits;
    return std::uint32_t(z < 0 ? 0 : (z > 0xFFFF ? 0xFFFF : z));
}

inline int iterColour(std::int64_t c) {
    const std::int64_t v = c >> kIterBits;
    return int(v < -kColourLimit ? -kColourLimit : (v > kColourLimit ? kColourLimit : v));
}

// ---------------------------------------------------------------------------
// Triangle setup.

// A parameter as a plane over the screen, relative to vertex 0's snapped position.
struct Plane {
    double p0 = 0, dx = 0, dy = 0;
    double at(double x, double y) const { return p0 + dx * x + dy * y; }
};

// Everything a span needs, evaluated at the first pixel centre and stepped per pixel.
struct Span {
    std::uint32_t* colour;
    std::uint16_t* depth;
    int count;
    std::int64_t z, dz;
    std::int64_t r, g, b, a, dr, dg, db, da;
    std::int64_t u, v, du, dv;                 // affine: texels, kTexBits fraction
    double sow, tow, oow, dsow, dtow, doow;    // perspective
    int fr, fg, fb, fa;                        // flat colour
};

struct Setup {
    TextureView tex;
    double texOffset;  // 0.5 for bilinear (texel centres), 0 for point sampling
    bool affine, flat;
};

// How the combine runs for a triangle: on all channels at once (flat colour,
// opaque texture) or channel by channel (anything else).
enum class CombineKind { Saturating, FlatGeneral, Iterated };

template <BlendKind kBlend, bool kPerspective, CombineKind kCombine, bool kFastModes>
void drawSpan(const Span& span, const Setup& su, const RenderState& st) {
    // Everything the loop steps or reads lives in locals: the colour writes
    // could otherwise alias the span record and force it through memory.
    Span sp = span;
    const TextureView tex = su.tex;
    std::uint32_t* const colour = sp.colour;
    std::uint16_t* const depth = sp.depth;
    const int count = sp.count;
    const double texOffset = su.texOffset;
    const std::int64_t fracMask = texOffset != 0.0 ? ~std::int64_t(0) : ~std::int64_t(255);
    const bool depthOn = st.depthMode != GR_DEPTHBUFFER_DISABLE;
    const bool depthWrite = depthOn && st.depthMask;
    const GrCmpFnc_t depthFunc = st.depthFunc;
    const __m128i minusVertex = _mm_setr_epi16(short(std::clamp(-sp.fb, -256, 256)), short(std::clamp(-sp.fg, -256, 256)),
                                               short(std::clamp(-sp.fr, -256, 256)), short(std::clamp(-sp.fa, -256, 256)),
                                               0, 0, 0, 0);
    std::int64_t z = sp.z, u = sp.u, v = sp.v;
    const std::int64_t dz = sp.dz, du = sp.du, dv = sp.dv;
    double sow = sp.sow, tow = sp.tow, oow = sp.oow;
    const double dsow = sp.dsow, dtow = sp.dtow, doow = sp.doow;
    std::int64_t r = sp.r, g = sp.g, b = sp.b, a = sp.a;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t zi = depthValue(z);
        bool pass;
        if constexpr (kFastModes) {
            pass = zi <= depth[i];
        } else {
            pass = !depthOn || depthPasses(depthFunc, zi, depth[i]);
        }
        if (pass) {
            std::int64_t tu, tv;
            if constexpr (kPerspective) {
                // Texel coordinates from s/w and t/w; saturated so the
                // conversion is defined, floored through a positive offset.
                constexpr double kLimit = double(1 << 22);
                const double scale = tex.texelsPerUnit / oow;
                double fu = sow * scale - texOffset;
                double fv = tow * scale - texOffset;
                if (!(fu >= -kLimit)) fu = -kLimit;
                if (!(fu <= kLimit)) fu = kLimit;
                if (!(fv >= -kLimit)) fv = -kLimit;
                if (!(fv <= kLimit)) fv = kLimit;
                constexpr double kBias = 2147483648.0;
                tu = std::int64_t(fu * 256.0 + kBias) - std::int64_t(kBias);
                tv = std::int64_t(fv * 256.0 + kBias) - std::int64_t(kBias);
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
                } else if constexpr (kCombine == CombineKind::FlatGeneral) {
                    c = combine(t, sp.fr, sp.fg, sp.fb, sp.fa);
                } else {
                    c = combine(t, iterColour(r), iterColour(g), iterColour(b), iterColour(a));
                }
                colour[i] = blend<kBlend>(c, colour[i], st);
            }
            if (kFastModes || depthWrite) depth[i] = std::uint16_t(zi);
        }
        z += dz;
        if constexpr (kPerspective) {
            sow += dsow;
            tow += dtow;
            oow += doow;
        } else {
            u += du;
            v += dv;
        }
        if constexpr (kCombine == CombineKind::Iterated) {
            r += sp.dr;
            g += sp.dg;
            b += sp.db;
            a += sp.da;
        }
    }
}

using SpanFn = void (*)(const Span&, const Setup&, const RenderState&);

template <BlendKind kBlend, bool kFastModes>
SpanFn pickSpan(bool perspective, CombineKind combine) {
    switch (combine) {
        case CombineKind::Saturating:
            return perspective ? drawSpan<kBlend, true, CombineKind::Saturating, kFastModes>
                               : drawSpan<kBlend, false, CombineKind::Saturating, kFastModes>;
        case CombineKind::FlatGeneral:
            return perspective ? drawSpan<kBlend, true, CombineKind::FlatGeneral, kFastModes>
                               : drawSpan<kBlend, false, CombineKind::FlatGeneral, kFastModes>;
        default:
            return perspective ? drawSpan<kBlend, true, CombineKind::Iterated, kFastModes>
                               : drawSpan<kBlend, false, CombineKind::Iterated, kFastModes>;
    }
}

// The game's depth and texture modes get loops per blend setting; any other
// mode combination runs the general blend with its checks at run time.
SpanFn pickSpan(bool fastModes, BlendKind blend, bool perspective, CombineKind combine) {
    if (!fastModes) return pickSpan<BlendKind::General, false>(perspective, combine);
    switch (blend) {
        case BlendKind::Opaque: return pickSpan<BlendKind::Opaque, true>(perspective, combine);
        case BlendKind::Alpha: return pickSpan<BlendKind::Alpha, true>(perspective, combine);
        case BlendKind::Additive: return pickSpan<BlendKind::Additive, true>(perspective, combine);
        case BlendKind::AlphaAdditive: return pickSpan<BlendKind::AlphaAdditive, true>(perspective, combine);
        default: return pickSpan<BlendKind::General, true>(perspective, combine);
    }
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
    EdgeWalk(std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb, int firstRow) {
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
    void nextRow() {
        column += stepColumns;
        excess -= stepExcess;
        if (excess < 0) {
            excess += d;
            ++column;
        }
    }
};

// First pixel row whose centre lies at or below y (1/16 pixel), clamped to the screen.
int firstRow(std::int64_t y) { return int(std::clamp<std::int64_t>(ceilDiv(y - 8, 16), 0, kScreenHeight)); }

}  // namespace

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
        X[i] = std::int64_t(std::floor(double(v[i]->x) * 16.0 + 0.5));
        Y[i] = std::int64_t(std::floor(double(v[i]->y) * 16.0 + 0.5));
    }

    // Signed area in the order passed; zero draws nothing.
    const std::int64_t area = (X[0] - X[1]) * (Y[1] - Y[2]) - (X[1] - X[2]) * (Y[0] - Y[1]);
    if (area == 0) return;
    if (st.cullMode == GR_CULL_POSITIVE && area > 0) return;
    if (st.cullMode == GR_CULL_NEGATIVE && area < 0) return;

    // Parameter planes in pixels relative to vertex 0.
    const double dx1 = double(X[1] - X[0]) / 16.0, dy1 = double(Y[1] - Y[0]) / 16.0;
    const double dx2 = double(X[2] - X[0]) / 16.0, dy2 = double(Y[2] - Y[0]) / 16.0;
    const double invDet = 1.0 / (dx1 * dy2 - dx2 * dy1);
    auto plane = [&](double p0, double p1, double p2) {
        Plane p;
        p.p0 = p0;
        p.dx = ((p1 - p0) * dy2 - (p2 - p0) * dy1) * invDet;
        p.dy = ((p2 - p0) * dx1 - (p1 - p0) * dx2) * invDet;
        return p;
    };
    const Plane ooz = plane(a.ooz, b.ooz, c.ooz);

    Setup su;
    su.tex = st.texture;
    su.texOffset = st.bilinear ? 0.5 : 0.0;
    // With one w for the whole triangle, s and t are affine on the screen.
    su.affine = a.oow == b.oow && b.oow == c.oow;
    su.flat = a.r == b.r && b.r == c.r && a.g == b.g && b.g == c.g && a.b == b.b && b.b == c.b && a.a == b.a &&
              b.a == c.a;
    Plane s, t, w, red, green, blue, alpha;
    if (su.affine) {
        s = plane(double(a.tmuvtx[0].sow) / a.oow, double(b.tmuvtx[0].sow) / b.oow, double(c.tmuvtx[0].sow) / c.oow);
        t = plane(double(a.tmuvtx[0].tow) / a.oow, double(b.tmuvtx[0].tow) / b.oow, double(c.tmuvtx[0].tow) / c.oow);
    } else {
        s = plane(a.tmuvtx[0].sow, b.tmuvtx[0].sow, c.tmuvtx[0].sow);
        t = plane(a.tmuvtx[0].tow, b.tmuvtx[0].tow, c.tmuvtx[0].tow);
        w = plane(a.oow, b.oow, c.oow);
    }
    Span sp{};
    if (su.flat) {
        auto flatValue = [](float f) {
            return int(std::clamp<std::int64_t>(saturate(std::floor(double(f)), 1e9), -kColourLimit, kColourLimit));
        };
        sp.fr = flatValue(a.r);
        sp.fg = flatValue(a.g);
        sp.fb = flatValue(a.b);
        sp.fa = flatValue(a.a);
    } else {
        red = plane(a.r, b.r, c.r);
        green = plane(a.g, b.g, c.g);
        blue = plane(a.b, b.b, c.b);
        alpha = plane(a.a, b.a, c.a);
    }

    const bool fastModes = st.depthMode == GR_DEPTHBUFFER_ZBUFFER && st.depthFunc == GR_CMP_LEQUAL && st.depthMask &&
                           !st.clampS && !st.clampT && st.bilinear;
    const CombineKind combine = !su.flat                ? CombineKind::Iterated
                                : su.tex.opaque         ? CombineKind::Saturating
                                                        : CombineKind::FlatGeneral;
    const SpanFn span = pickSpan(fastModes, st.blend, !su.affine, combine);

    // Steps per pixel, saturated so that a whole row cannot overflow.
    constexpr double kStepLimit = double(std::int64_t(1) << 52);
    sp.dz = saturate(ooz.dx * kIterOne, kStepLimit);
    if (!su.flat) {
        sp.dr = saturate(red.dx * kIterOne, kStepLimit);
        sp.dg = saturate(green.dx * kIterOne, kStepLimit);
        sp.db = saturate(blue.dx * kIterOne, kStepLimit);
        sp.da = saturate(alpha.dx * kIterOne, kStepLimit);
    }
    const double tpu = su.tex.texelsPerUnit;
    if (su.affine) {
        constexpr double kTexStepLimit = double(std::int64_t(1) << 20) * kTexOne;
        sp.du = saturate(s.dx * tpu * kTexOne, kTexStepLimit);
        sp.dv = saturate(t.dx * tpu * kTexOne, kTexStepLimit);
    } else {
        sp.dsow = s.dx;
        sp.dtow = t.dx;
        sp.doow = w.dx;
    }
    // A texel coordinate at the start of a span, kept small: wrapping
    // removes whole texture widths, clamping keeps it in a range where the
    // clamp to the edge texel is the same.
    auto texStart = [&](double texel, int size, bool clamped) {
        if (!(std::fabs(texel) < 1e15)) texel = 0.0;
        if (clamped) {
            texel = std::clamp(texel, -double(1 << 20), double(1 << 20));
        } else {
            const double periods = texel / double(size);  // |periods| < 2^62
            std::int64_t whole = std::int64_t(periods);
            whole -= double(whole) > periods;  // floor
            texel -= double(size) * double(whole);
        }
        return saturate(texel * kTexOne, double(std::int64_t(1) << 50));
    };

    // Sort by y for the scan: top, middle, bottom.
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int i, int j) { return Y[i] < Y[j] || (Y[i] == Y[j] && i < j); });
    const int top = order[0], mid = order[1], bot = order[2];
    if (Y[top] == Y[bot]) return;
    // The long edge (top to bottom) is on the left when the middle vertex lies to its right.
    const std::int64_t cross = (X[bot] - X[top]) * (Y[mid] - Y[top]) - (Y[bot] - Y[top]) * (X[mid] - X[top]);
    const bool longLeft = cross < 0;
    const int rowTop = firstRow(Y[top]), rowMid = firstRow(Y[mid]), rowBot = firstRow(Y[bot]);

    Buffers& buf = buffers();
    std::uint32_t* colour = buf.backColour();
    std::uint16_t* depth = buf.depth.data();
    const double x0 = double(X[0]) / 16.0, y0 = double(Y[0]) / 16.0;

    EdgeWalk longEdge(X[top], Y[top], X[bot], Y[bot], rowTop);
    for (int half = 0; half < 2; ++half) {
        const int rowBegin = half == 0 ? rowTop : rowMid;
        const int rowEnd = half == 0 ? rowMid : rowBot;
        if (rowBegin >= rowEnd) continue;
        EdgeWalk shortEdge = half == 0 ? EdgeWalk(X[top], Y[top], X[mid], Y[mid], rowBegin)
                                       : EdgeWalk(X[mid], Y[mid], X[bot], Y[bot], rowBegin);
        EdgeWalk& leftEdge = longLeft ? longEdge : shortEdge;
        EdgeWalk& rightEdge = longLeft ? shortEdge : longEdge;
        for (int py = rowBegin; py < rowEnd; ++py, leftEdge.nextRow(), rightEdge.nextRow()) {
            const int left = leftEdge.screenColumn(), right = rightEdge.screenColumn();
            if (left >= right) continue;
            const double cx = left + 0.5 - x0, cy = py + 0.5 - y0;
            sp.colour = colour + py * kScreenWidth + left;
            sp.depth = depth + py * kScreenWidth + left;
            sp.count = right - left;
            sp.z = saturate(ooz.at(cx, cy) * kIterOne, kStepLimit);
            if (!su.flat) {
                sp.r = saturate(red.at(cx, cy) * kIterOne, kStepLimit);
                sp.g = saturate(green.at(cx, cy) * kIterOne, kStepLimit);
                sp.b = saturate(blue.at(cx, cy) * kIterOne, kStepLimit);
                sp.a = saturate(alpha.at(cx, cy) * kIterOne, kStepLimit);
            }
            if (su.affine) {
                sp.u = texStart(s.at(cx, cy) * tpu - su.texOffset, su.tex.width, st.clampS);
                sp.v = texStart(t.at(cx, cy) * tpu - su.texOffset, su.tex.height, st.clampT);
            } else {
                sp.sow = s.at(cx, cy);
                sp.tow = t.at(cx, cy);
                sp.oow = w.at(cx, cy);
            }
            span(sp, su, st);
        }
    }
}

}  // namespace softglide::detail
