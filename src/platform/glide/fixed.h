// Fixed-point formats and the roundings into them, shared by triangle
// set-up, the row starts and the per-pixel stages. Every rounding is defined
// for any input: NaN, infinities and huge values saturate or wrap instead of
// reaching an undefined conversion.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "lanes.h"

namespace softglide::detail {

// Depth and colours are iterated with 12 fractional bits.
constexpr int kIterBits = 12;
constexpr double kIterOne = double(1 << kIterBits);
// Affine texture coordinates carry 24 fractional bits of a texel; the filter uses the top 8.
constexpr int kTexBits = 24;
constexpr double kTexOne = double(1 << kTexBits);
// Vertex colours beyond this saturate the combine anyway, so clamping them
// to it does not change any result and keeps products within 32 bits.
constexpr int kColourLimit = 65536;

// Start values and steps are saturated so that no row, even at the largest
// scale (2560 pixels), can overflow 64 bits.
constexpr double kStartLimit = double(std::int64_t(1) << 52);
constexpr double kStepLimit = double(std::int64_t(1) << 50);

// Floor of a value whose magnitude is far below 2^62.
inline std::int64_t floorToInt(double h) {
    const std::int64_t t = std::int64_t(h);
    return t - (double(t) > h);
}

// Fixed-point parameters at the centre of a row's first pixel: depth and
// colours with kIterBits fractional bits, texel coordinates with kTexBits.
// (No member initialisers: loops keep arrays of these, filled by rowStart.)
struct RowStart {
    std::int64_t z, r, g, b, a, u, v;
};

inline namespace TB_ISA {

// Rounds to the nearest integer (halves up), saturating at +-limit (< 2^62),
// so that NaN, infinities and huge values never reach an undefined conversion.
TB_INLINE std::int64_t saturate(double v, double limit) {
    if (!(v > -limit)) return std::int64_t(-limit);  // also NaN
    if (!(v < limit)) return std::int64_t(limit);
    return floorToInt(v + 0.5);
}

// Removes whole periods of `size` texels (a power of two) from a texel
// coordinate, exactly, at every finite size: what is left lies in [0, size].
// Below 2^51 one step does it (floorSmall is exact there). Up to 2^60 a
// first step takes off whole multiples of 2^32 periods: every value there
// is a multiple of half a texel, so each product and difference is exact.
// From 2^60 on every double is a multiple of 256 texels, so of any period,
// and nothing is left; NaN and infinities have no place and give 0 too.
template <class P>
TB_INLINE typename P::F64 wrapTexel(typename P::F64 texel, int size, double invSize) {
    using F = typename P::F64;
    constexpr double kOneStep = double(std::int64_t(1) << 51), kNothingLeft = double(std::int64_t(1) << 60);
    constexpr double kPeriods = double(std::int64_t(1) << 32);
    const F m = magnitude(texel);
    const auto near = m < kOneStep;  // false for NaN
    if (!everyLane<P>(near)) {
        const F kept = select(m < kNothingLeft, texel, splat<F>(0.0));
        const F reduced = kept - double(size) * kPeriods * floorSmall(kept * (invSize / kPeriods));
        texel = select(near, texel, reduced);
    }
    return texel - double(size) * floorSmall(texel * invSize);
}

// A texel coordinate at the start of a row, kept small: wrapping removes
// whole texture sizes, clamping keeps it in a range where the clamp to the
// edge texel is the same (NaN counts as 0). Either way it ends within
// +-2^20 texels, so its rounding in fixed point needs none of saturate's
// limits.
TB_INLINE std::int64_t texStart(double texel, int size, double invSize, bool clamped) {
    if (clamped) {
        texel = texel == texel ? std::clamp(texel, -double(1 << 20), double(1 << 20)) : 0.0;
    } else {
        texel = wrapTexel<Scalar>(texel, size, invSize);
    }
    return floorToInt(texel * kTexOne + 0.5);
}

}  // namespace TB_ISA
}  // namespace softglide::detail
