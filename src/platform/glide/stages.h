// The per-pixel stages, each written once over a lane pack (lanes.h): depth
// value and test, texel coordinates, texture taps and bilinear filter, colour
// and alpha combine, blend, and packing for the write. Scalar instantiations
// are the reference; wider packs give the same bits lane by lane. Also the
// fixed-point start values of a row, which the loops inline.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "fixed.h"
#include "lanes.h"
#include "setup.h"

namespace softglide::detail {
inline namespace TB_ISA {

// A parameter plane at pixel centres (x, y relative to vertex 0), in this
// order of operations wherever it is evaluated.
template <class F>
TB_INLINE F planeAt(const Plane& p, F x, F y) {
    return p.p0 + p.dx * x + p.dy * y;
}

// ---------------------------------------------------------------------------
// Fixed-point start values of a row.

// Fixed-point parameters at the centre of a row's first pixel of a triangle
// (affine and flat as set up). Inlined into the loops, whose modes may say
// which parts are needed.
TB_INLINE RowStart rowStart(const Triangle& tr, int y, int left, bool affine, bool flat, bool clampS, bool clampT) {
    const double cx = left + 0.5 - tr.x0, cy = y + 0.5 - tr.y0;
    RowStart rs{};
    if (affine) {
        rs.z = saturate(planeAt(tr.ooz, cx, cy) * kIterOne, kStartLimit);
        rs.u = texStart(planeAt(tr.s, cx, cy) * tr.tpu - tr.texOffset, tr.tex.width, tr.tex.invWidth, clampS);
        rs.v = texStart(planeAt(tr.t, cx, cy) * tr.tpu - tr.texOffset, tr.tex.height, tr.tex.invHeight, clampT);
    }
    if (!flat) {
        rs.r = saturate(planeAt(tr.red, cx, cy) * kIterOne, kStartLimit);
        rs.g = saturate(planeAt(tr.green, cx, cy) * kIterOne, kStartLimit);
        rs.b = saturate(planeAt(tr.blue, cx, cy) * kIterOne, kStartLimit);
        rs.a = saturate(planeAt(tr.alpha, cx, cy) * kIterOne, kStartLimit);
    }
    return rs;
}

// rowStart of four rows at once, lanes for rows, with the same operations
// lane by lane, for an affine triangle whose texel coordinates wrap. Fills
// the entries k to k + 3 of `starts` that are rows (below n) and returns
// true; returns false, writing nothing, when a depth or colour value lies
// beyond 2^50, where only saturate's way of rounding is exact.
template <class Q>
TB_INLINE bool rowStartsTogether(const Triangle& tr, const Row* rows, int n, int k, bool flat, RowStart* starts) {
    static_assert(Q::N == 4);
    using F = typename Q::F64;
    using I32 = typename Q::I32;
    using I64 = typename Q::I64;
    constexpr double kExact = double(std::int64_t(1) << 50);
    I32 left, y;
    for (int i = 0; i < 4; ++i) {
        const Row& r = rows[std::min(k + i, n - 1)];
        left[i] = r.left;
        y[i] = r.y;
    }
    const F cx = convert<F>(left) + 0.5 - tr.x0, cy = convert<F>(y) + 0.5 - tr.y0;
    const F z = planeAt(tr.ooz, cx, cy) * kIterOne;
    auto exact = magnitude(z) < kExact;
    F c[4] = {};
    if (!flat) {
        const Plane* planes[4] = {&tr.red, &tr.green, &tr.blue, &tr.alpha};
        for (int j = 0; j < 4; ++j) {
            c[j] = planeAt(*planes[j], cx, cy) * kIterOne;
            exact = exact & (magnitude(c[j]) < kExact);
        }
    }
    if (!everyLane<Q>(exact)) return false;
    const F u = wrapTexel<Q>(planeAt(tr.s, cx, cy) * tr.tpu - tr.texOffset, tr.tex.width, tr.tex.invWidth);
    const F v = wrapTexel<Q>(planeAt(tr.t, cx, cy) * tr.tpu - tr.texOffset, tr.tex.height, tr.tex.invHeight);
    const I64 zi = wholeToInt<Q>(floorSmall(z + 0.5));
    const I64 ui = wholeToInt<Q>(floorSmall(u * kTexOne + 0.5)), vi = wholeToInt<Q>(floorSmall(v * kTexOne + 0.5));
    I64 ci[4] = {};
    if (!flat)
        for (int j = 0; j < 4; ++j) ci[j] = wholeToInt<Q>(floorSmall(c[j] + 0.5));
    for (int i = 0; i < 4 && k + i < n; ++i) {
        RowStart& rs = starts[k + i];
        rs.z = zi[i], rs.u = ui[i], rs.v = vi[i];
        rs.r = ci[0][i], rs.g = ci[1][i], rs.b = ci[2][i], rs.a = ci[3][i];
    }
    return true;
}

// ---------------------------------------------------------------------------
// Depth.

// An affine triangle's depth: the iterated value's whole part, clamped to
// 0..0xFFFF. Clamping before the shift gives the same whole part.
// Loops may step it in 32-bit lanes where every value fits them.
template <class P, class Z>
TB_INLINE typename P::I32 depthFromIterated(Z z) {
    constexpr ElementT<Z> kTop = (ElementT<Z>(0xFFFF) << kIterBits) | ((1 << kIterBits) - 1);
    if constexpr (sizeof(ElementT<Z>) == 4) {
        return clampTo(z, 0, kTop) >> kIterBits;
    } else {
        return convert<typename P::I32>(shiftRightLogical(clampTo(z, ElementT<Z>(0), kTop), kIterBits));
    }
}

// A perspective triangle's depth at a pixel centre, from its ooz plane:
// rounded to 1/4096, the whole part clamped to 0..0xFFFF (NaN gives 0).
// Scaling by 1/4096 is exact, so the whole part of the scaled value is that
// of the value rounded to 1/4096.
template <class P>
TB_INLINE typename P::I32 depthFromPlane(typename P::F64 ooz) {
    using F = typename P::F64;
    const F x = (ooz * kIterOne + 0.5) * (1.0 / kIterOne);
    F c = select(x > 0.0, x, splat<F>(0.0));
    c = select(c < 65535.0, c, splat<F>(65535.0));
    return convert<typename P::I32>(floorSmall(c));
}

// Depth test of the new value z against the stored one.
template <class P>
TB_INLINE typename P::M32 depthPasses(GrCmpFnc_t f, typename P::I32 z, typename P::I32 stored) {
    switch (f) {
        case GR_CMP_NEVER: return allLanes<P>(false);
        case GR_CMP_LESS: return z < stored;
        case GR_CMP_EQUAL: return z == stored;
        case GR_CMP_LEQUAL: return z <= stored;
        case GR_CMP_GREATER: return z > stored;
        case GR_CMP_NOTEQUAL: return z != stored;
        case GR_CMP_GEQUAL: return z >= stored;
        default: return allLanes<P>(true);
    }
}

// ---------------------------------------------------------------------------
// Texel coordinates, as texels with 8 fractional bits.

// From an affine triangle's 24-bit-fraction coordinate. Wrapped, only bits
// 16 to 31 of it matter (a texture has at most 256 texels a side), so loops
// for wrapped textures may step just its low 32 bits (U is then 32 bits
// wide); clamped, limiting it to +-2^22 texels keeps the same edge texel.
template <class P, class U>
TB_INLINE typename P::I32 affineTexel(U u, bool clamped) {
    using I32 = typename P::I32;
    if constexpr (sizeof(ElementT<U>) == 4) {
        return convert<I32>(u >> (kTexBits - 8));
    } else {
        if (clamped) return convert<I32>(clampTo(u >> (kTexBits - 8), -(std::int64_t(1) << 30), std::int64_t(1) << 30));
        return convert<I32>(shiftRightLogical(u, kTexBits - 8));
    }
}

// From a perspective triangle's coordinate in texels at a pixel centre.
// Wrapped, whole periods are removed exactly (wrapTexel, as for affine
// triangles); clamped, it is limited to +-2^22 texels (NaN to the lower
// end), where the edge texel is the same.
template <class P>
TB_INLINE typename P::I32 perspectiveTexel(typename P::F64 texel, int size, double invSize, bool clamped) {
    using F = typename P::F64;
    constexpr double kLimit = double(1 << 22);
    if (clamped) {
        texel = select(texel >= -kLimit, texel, splat<F>(-kLimit));
        texel = select(texel <= kLimit, texel, splat<F>(kLimit));
    } else {
        texel = wrapTexel<P>(texel, size, invSize);
    }
    return convert<typename P::I32>(floorSmall(texel * 256.0));
}

// ---------------------------------------------------------------------------
// Texture fetch and filter.

// The two texel indices along one axis for whole part i: wrapped, the second
// is the next one in the padded copy; clamped, both are held to the edge.
template <class P>
TB_INLINE void wrappedTaps(typename P::I32 i, int size, typename P::I32& i0, typename P::I32& i1) {
    i0 = i & (size - 1);
    i1 = i0 + 1;
}
template <class P>
TB_INLINE void clampedTaps(typename P::I32 i, int size, typename P::I32& i0, typename P::I32& i1) {
    const typename P::I32 c = clampTo(i, -1, size);
    i0 = clampTo(c, 0, size - 1);
    i1 = clampTo(c + 1, 0, size - 1);
}

// One linear step of the filter on two channels held in the 16-bit halves of
// a 32-bit lane (blue and red, or green and alpha): each product stays below
// 2^16, so the halves never carry into each other. Truncated.
template <class P>
TB_INLINE typename P::U32 lerpPairs(typename P::U32 p, typename P::U32 q, typename P::U32 f) {
    if constexpr (P::N == 1) {
        return ((p * (256u - f) + q * f) >> 8) & 0x00FF00FFu;
    } else {
        // The same on 16-bit lanes, where no product or sum overflows either.
        using U16 = typename P::U16x2;
        const U16 g = (U16)(f | (f << 16));
        return (typename P::U32)(((U16)p * ((U16)(0x01000100u - (f | (f << 16)))) + (U16)q * g) >> 8);
    }
}

// The high byte of each 16-bit half of a 32-bit lane, in the low byte
// (0xAARRGGBB gives 0x00AA00GG): one shift of 16-bit lanes in wide packs.
template <class P>
TB_INLINE typename P::U32 highPairs(typename P::U32 t) {
    if constexpr (P::N == 1) {
        return (t >> 8) & 0x00FF00FFu;
    } else {
        return (typename P::U32)((typename P::U16x2)t >> 8);
    }
}

// A filtered texel with its channels two to a 32-bit lane, in the 16-bit
// halves, as the filter works on them: blue and red in br (0x00RR00BB),
// green and alpha in ga (0x00AA00GG).
template <class P>
struct TexelPairs {
    typename P::U32 br, ga;
};

// Bilinear filter of the four taps: along u first, then along v, each step
// truncated.
template <class P>
TB_INLINE TexelPairs<P> bilinear(typename P::U32 t00, typename P::U32 t10, typename P::U32 t01, typename P::U32 t11,
                                 typename P::U32 fu, typename P::U32 fv) {
    constexpr std::uint32_t kPairs = 0x00FF00FFu;
    const auto low0 = lerpPairs<P>(t00 & kPairs, t10 & kPairs, fu), low1 = lerpPairs<P>(t01 & kPairs, t11 & kPairs, fu);
    const auto high0 = lerpPairs<P>(highPairs<P>(t00), highPairs<P>(t10), fu);
    const auto high1 = lerpPairs<P>(highPairs<P>(t01), highPairs<P>(t11), fu);
    return {lerpPairs<P>(low0, low1, fv), lerpPairs<P>(high0, high1, fv)};
}

// The filtered texel at (tu, tv), texels with 8 fractional bits (texel
// centres already on whole numbers).
template <class P>
TB_INLINE TexelPairs<P> fetchTexel(const TextureView& tex, typename P::I32 tu, typename P::I32 tv, bool clampS,
                                   bool clampT, [[maybe_unused]] bool tryRuns = false) {
    using I32 = typename P::I32;
    using U32 = typename P::U32;
    I32 u0, u1, v0, v1;
    if (clampS) {
        clampedTaps<P>(tu >> 8, tex.width, u0, u1);
    } else {
        wrappedTaps<P>(tu >> 8, tex.width, u0, u1);
    }
    if (clampT) {
        clampedTaps<P>(tv >> 8, tex.height, v0, v1);
    } else {
        wrappedTaps<P>(tv >> 8, tex.height, v0, v1);
    }
    const I32 row0 = v0 * tex.stride, row1 = v1 * tex.stride;
    U32 t00, t10, t01, t11;
    if (clampS) {
        t00 = convert<U32>(gather<P>(tex.padded, row0 + u0));
        t10 = convert<U32>(gather<P>(tex.padded, row0 + u1));
        t01 = convert<U32>(gather<P>(tex.padded, row1 + u0));
        t11 = convert<U32>(gather<P>(tex.padded, row1 + u1));
    } else {
        // Wrapped, the second tap of a row is the next texel of the padded copy.
        if constexpr (P::N > 1 && kFastPermute) {
            // When every lane reads the same texture rows, within N texels of
            // each other (which callers expect of triangles magnified or at
            // about a texel a pixel, as the ground is), the taps are picked
            // out of runs of N texels from those rows. The last run starts at most one past the last column of
            // the second row, so for N <= 8 it ends within the padded rows
            // and their slack.
            static_assert(P::N <= 8);
            const I32 base = minOf(splat<I32>(u0[0]), splat<I32>(u0[P::N - 1]));
            const I32 k = u0 - base;
            if (tryRuns && !anyLane<P>((convert<U32>(k) >= unsigned(P::N)) | (v0 != splat<I32>(v0[0])))) {
                const std::uint32_t* run = tex.padded + (row0[0] + base[0]);
                t00 = permute<P>(loadRun<P>(run), k);
                t10 = permute<P>(loadRun<P>(run + 1), k);
                t01 = permute<P>(loadRun<P>(run + tex.stride), k);
                t11 = permute<P>(loadRun<P>(run + tex.stride + 1), k);
                return bilinear<P>(t00, t10, t01, t11, convert<U32>(tu & 255), convert<U32>(tv & 255));
            }
        }
        // And the second row is the next one of the padded copy.
        gatherSquares<P>(tex.padded, tex.stride, row0 + u0, t00, t10, t01, t11);
    }
    return bilinear<P>(t00, t10, t01, t11, convert<U32>(tu & 255), convert<U32>(tv & 255));
}

// ---------------------------------------------------------------------------
// Colour and alpha combine, blend and write.

template <class P>
struct Rgba {
    typename P::I32 r, g, b, a;
};

template <class P>
TB_INLINE Rgba<P> unpack(typename P::U32 p) {
    using I32 = typename P::I32;
    return {convert<I32>((p >> 16) & 255u), convert<I32>((p >> 8) & 255u), convert<I32>(p & 255u),
            convert<I32>(p >> 24)};
}

template <class P>
TB_INLINE Rgba<P> unpack(const TexelPairs<P>& t) {
    using I32 = typename P::I32;
    return {convert<I32>(t.br >> 16), convert<I32>(t.ga & 255u), convert<I32>(t.br & 255u), convert<I32>(t.ga >> 16)};
}

template <class P>
TB_INLINE typename P::U32 pack(const Rgba<P>& c) {
    using U32 = typename P::U32;
    return (convert<U32>(c.a) << 24) | (convert<U32>(c.r) << 16) | (convert<U32>(c.g) << 8) | convert<U32>(c.b);
}

// An iterated colour's whole part, limited to +-kColourLimit: shifted as a
// non-negative value, where the logical shift is the floor.
template <class P>
TB_INLINE typename P::I32 iterColour(typename P::I64 c) {
    constexpr std::int64_t kLimit = std::int64_t(kColourLimit) << kIterBits;
    const typename P::I64 v = clampTo(c, -kLimit, kLimit) + kLimit;
    return convert<typename P::I32>(shiftRightLogical(v, kIterBits)) - kColourLimit;
}

// Combine of one channel: (texture - iterated) scaled by texture alpha + 1,
// arithmetic shift, clamped to 0..255. A negative vertex value brightens.
template <class P>
TB_INLINE typename P::I32 combineChannel(typename P::I32 texel, typename P::I32 vertex, typename P::I32 scale) {
    return clampTo(((texel - vertex) * scale) >> 8, 0, 255);
}

// A texture whose texels all have alpha 255 filters to alpha 255, so its
// scale is 256 wherever it is drawn, and the scaled difference shifted back
// is the difference itself (it is far too small to overflow): loops for
// such textures pass `opaqueTexture` and skip the multiplications.
template <class P>
TB_INLINE Rgba<P> combine(const Rgba<P>& texel, const Rgba<P>& vertex, bool opaqueTexture = false) {
    if (opaqueTexture) {
        return {clampTo(texel.r - vertex.r, 0, 255), clampTo(texel.g - vertex.g, 0, 255),
                clampTo(texel.b - vertex.b, 0, 255), clampTo(texel.a - vertex.a, 0, 255)};
    }
    const typename P::I32 scale = texel.a + 1;
    return {combineChannel<P>(texel.r, vertex.r, scale), combineChannel<P>(texel.g, vertex.g, scale),
            combineChannel<P>(texel.b, vertex.b, scale), combineChannel<P>(texel.a, vertex.a, scale)};
}

// Blend factor in 256ths for a Glide blend constant: alpha a counts as
// (a + 1) / 256, one minus it as (256 - a) / 256. In the source position
// codes 2 and 6 mean the destination colour, in the destination position
// the source colour (the constants share values).
template <class P>
TB_INLINE typename P::I32 blendFactor(GrAlphaBlendFnc_t f, bool isSource, typename P::I32 srcA, typename P::I32 dstA,
                                      typename P::I32 srcC, typename P::I32 dstC) {
    using I32 = typename P::I32;
    switch (f) {
        case GR_BLEND_ZERO: return splat<I32>(0);
        case GR_BLEND_SRC_ALPHA: return srcA + 1;
        case GR_BLEND_SRC_COLOR: return (isSource ? dstC : srcC) + 1;
        case GR_BLEND_DST_ALPHA: return dstA + 1;
        case GR_BLEND_ONE: return splat<I32>(256);
        case GR_BLEND_ONE_MINUS_SRC_ALPHA: return 256 - srcA;
        case GR_BLEND_ONE_MINUS_SRC_COLOR: return 256 - (isSource ? dstC : srcC);
        case GR_BLEND_ONE_MINUS_DST_ALPHA: return 256 - dstA;
        default: return splat<I32>(0);
    }
}

// Blend of one channel: (source x source factor + destination x destination
// factor) / 256, truncated and clamped to 255.
template <class P>
TB_INLINE typename P::I32 blendChannel(typename P::I32 s, typename P::I32 d, typename P::I32 fs, typename P::I32 fd) {
    return minOf((s * fs + d * fd) >> 8, splat<typename P::I32>(255));
}

// The blend of a combined colour over the destination pixel under the
// state's factors (constants where a loop is compiled for them).
template <class P>
TB_INLINE Rgba<P> blend(const Rgba<P>& s, const Rgba<P>& d, GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst,
                        GrAlphaBlendFnc_t alphaSrc, GrAlphaBlendFnc_t alphaDst) {
    // One times the source plus zero leaves a combined value (0..255) as it is.
    auto channel = [&](typename P::I32 sc, typename P::I32 dc, GrAlphaBlendFnc_t src, GrAlphaBlendFnc_t dst) {
        if (src == GR_BLEND_ONE && dst == GR_BLEND_ZERO) return sc;
        return blendChannel<P>(sc, dc, blendFactor<P>(src, true, s.a, d.a, sc, dc),
                               blendFactor<P>(dst, false, s.a, d.a, sc, dc));
    };
    return {channel(s.r, d.r, rgbSrc, rgbDst), channel(s.g, d.g, rgbSrc, rgbDst), channel(s.b, d.b, rgbSrc, rgbDst),
            channel(s.a, d.a, alphaSrc, alphaDst)};
}

// ---------------------------------------------------------------------------
// Combine and blend of a flat colour, two channels at a time. On an opaque
// texture the combine is a clamped difference; on a translucent one it is
// scaled by texel alpha, which 16-bit halves hold for a colour of -256 or
// more. Either way wide loops keep the filter's channel pairs (TexelPairs)
// to the end: every value below fits the 16-bit halves of a lane, and each
// step gives combine's and blend's bits.

// A flat colour as the pair stages use it. On an opaque texture,
// combinePairs adds `add` to each texel channel t and takes `sub` off again:
// max(t + add, sub) - sub, limited to 255, is t - v clamped to 0..255 for t
// in 0..255 (a colour beyond -255 or 256 clamps the same). On a translucent
// one, combineScaledPairs takes off `vertex`: the colour limited to 256,
// which leaves nothing of any texel as any greater value does.
template <class P>
struct FlatPairs {
    typename P::U32 addBR, subBR, addGA, subGA, vertexBR, vertexGA;
};

// Whether combineScaledPairs takes this flat colour: every channel -256 or more.
inline bool narrowFlatColour(int r, int g, int b, int a) { return std::min(std::min(r, g), std::min(b, a)) >= -256; }

template <class P>
TB_INLINE FlatPairs<P> flatPairs(int r, int g, int b, int a) {
    using U32 = typename P::U32;
    auto add = [](int v) { return std::uint32_t(v >= 0 ? 0 : (v < -255 ? 255 : -v)); };
    auto sub = [](int v) { return std::uint32_t(v <= 0 ? 0 : (v > 256 ? 256 : v)); };
    auto vertex = [](int v) { return std::uint32_t(std::uint16_t(v > 256 ? 256 : v)); };
    return {splat<U32>(add(b) | add(r) << 16),       splat<U32>(sub(b) | sub(r) << 16),
            splat<U32>(add(g) | add(a) << 16),       splat<U32>(sub(g) | sub(a) << 16),
            splat<U32>(vertex(b) | vertex(r) << 16), splat<U32>(vertex(g) | vertex(a) << 16)};
}

template <class P>
TB_INLINE typename P::U32 combinePairs(typename P::U32 texel, typename P::U32 add, typename P::U32 sub) {
    using U16 = typename P::U16x2;
    return (typename P::U32)minOf(maxOf((U16)texel + (U16)add, (U16)sub) - (U16)sub, splat<U16>(255));
}

// combineChannel on the two halves of each lane, for a vertex value v of
// -256..256 and scale4 = (texel alpha + 1) x 4 in both halves:
// ((t - v) x (alpha + 1)) >> 8 is the high half of ((t - v) << 6) x scale4,
// where both factors fit 16 signed bits (t - v lies in -256..511).
template <class P>
TB_INLINE typename P::U32 combineScaledPairs(typename P::U32 texel, typename P::U32 vertex, typename P::U32 scale4) {
    using I16 = typename P::I16x2;
    const I16 scaled = mulHigh(((I16)texel - (I16)vertex) << 6, (I16)scale4);
    return (typename P::U32)clampTo(scaled, std::int16_t(0), std::int16_t(255));
}

// blendChannel on the two halves of each lane, with factors fs = alpha + 1
// and fd = 256 - alpha in both halves, for each of the game's blend
// settings (a setting added there needs its case here). A destination times
// one (256) has no bits below the shift, so it is added after it; source
// over destination sums to at most 255 x 257.
template <class P, GrAlphaBlendFnc_t kSrc, GrAlphaBlendFnc_t kDst>
TB_INLINE typename P::U32 blendPairs(typename P::U32 c, typename P::U32 d, typename P::U32 fs, typename P::U32 fd) {
    using U16 = typename P::U16x2;
    using U32 = typename P::U32;
    const U16 top = splat<U16>(255);
    if constexpr (kSrc == GR_BLEND_ONE && kDst == GR_BLEND_ZERO) {
        return c;
    } else if constexpr (kSrc == GR_BLEND_ONE && kDst == GR_BLEND_ONE) {
        return (U32)minOf((U16)c + (U16)d, top);
    } else if constexpr (kSrc == GR_BLEND_SRC_ALPHA && kDst == GR_BLEND_ONE) {
        return (U32)minOf((((U16)c * (U16)fs) >> 8) + (U16)d, top);
    } else {
        static_assert(kSrc == GR_BLEND_SRC_ALPHA && kDst == GR_BLEND_ONE_MINUS_SRC_ALPHA,
                      "a blend setting the pair stages do not know");
        return (U32)(((U16)c * (U16)fs + (U16)d * (U16)fd) >> 8);
    }
}

// Combine with a flat colour and blend over the destination pixels, in one
// of the game's modes, as packed pixels.
template <class P, class Modes>
TB_INLINE typename P::U32 shadePairs(const TexelPairs<P>& t, const FlatPairs<P>& v, typename P::U32 dst, const Modes&) {
    using U32 = typename P::U32;
    static_assert(Modes::alphaSrc == GR_BLEND_ONE && Modes::alphaDst == GR_BLEND_ZERO);
    constexpr std::uint32_t kLow = 0x0000FFFFu, kPairs = 0x00FF00FFu;
    U32 br, ga;
    if constexpr (Modes::opaqueTexture) {
        br = combinePairs<P>(t.br, v.addBR, v.subBR);
        ga = combinePairs<P>(t.ga, v.addGA, v.subGA);
    } else {
        const U32 scale = ((t.ga >> 16) + 1) << 2;
        br = combineScaledPairs<P>(t.br, v.vertexBR, scale | (scale << 16));
        ga = combineScaledPairs<P>(t.ga, v.vertexGA, scale | (scale << 16));
    }
    const U32 ca = ga >> 16, fs = (ca | (ca << 16)) + 0x00010001u, fd = 0x01000100u - (ca | (ca << 16));
    const U32 outBR = blendPairs<P, Modes::rgbSrc, Modes::rgbDst>(br, dst & kPairs, fs, fd);
    const U32 outG = blendPairs<P, Modes::rgbSrc, Modes::rgbDst>(ga, (dst >> 8) & kPairs, fs, fd) & kLow;
    return outBR | ((outG | (ga & ~kLow)) << 8);
}

}  // namespace TB_ISA
}  // namespace softglide::detail
