// Lane packs for the pixel stages. Every stage is written once, as a template
// over a pack: Scalar (one pixel, plain integers and doubles) is the
// reference; Wide<N> runs N pixels through the compiler's vector extensions,
// which GCC and Clang lower to SSE, AVX2, NEON or WebAssembly SIMD as the
// target allows. A stage sees only the operations below, whose lane-wise
// results are those of the scalar ones, so every pack gives the same bits.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Code built for an instruction set of its own (rowloops_avx2.cpp) sets TB_ISA
// to its name, so that its copies of these inline templates never stand in
// for the portable ones.
#ifndef TB_ISA
#define TB_ISA portable
#endif
// The lane loops are only fast with every stage inlined into them, which the
// compiler's size heuristics do not always do for a stage with many callers.
#define TB_INLINE inline __attribute__((always_inline))

// What some instruction sets do in one instruction, in files of their own.
#include "lanes_avx2.h"
#include "lanes_wasm.h"

namespace softglide::detail {
inline namespace TB_ISA {

#if !defined(__AVX2__) && !defined(__wasm_simd128__)
constexpr bool kTestsWholeMasks = false;  // see lanes_avx2.h and lanes_wasm.h
#endif
#if !defined(__AVX2__)
constexpr bool kMultipliesHigh = false;  // see lanes_avx2.h
#endif
#if !defined(__AVX2__) && !defined(__wasm_simd128__)
constexpr bool gathersSquares(int) { return false; }  // see lanes_avx2.h and lanes_wasm.h
#endif

struct Scalar {
    static constexpr int N = 1;
    using I32 = std::int32_t;
    using U32 = std::uint32_t;
    using I64 = std::int64_t;
    using F64 = double;
    using M32 = bool;  // which lanes of an I32 value pass a test
};

template <int Lanes>
struct Wide {
    static constexpr int N = Lanes;
    typedef std::int32_t I32 __attribute__((vector_size(4 * Lanes)));
    typedef std::uint32_t U32 __attribute__((vector_size(4 * Lanes)));
    typedef std::int64_t I64 __attribute__((vector_size(8 * Lanes)));
    typedef std::uint64_t U64 __attribute__((vector_size(8 * Lanes)));
    typedef std::uint16_t U16 __attribute__((vector_size(2 * Lanes)));
    typedef std::uint16_t U16x2 __attribute__((vector_size(4 * Lanes)));  // two halves of each 32-bit lane
    typedef std::int16_t I16x2 __attribute__((vector_size(4 * Lanes)));   // the same, signed
    typedef double F64 __attribute__((vector_size(8 * Lanes)));
    using M32 = I32;  // -1 in a lane that passes, 0 elsewhere
};

// The element type of a pack value (itself for a scalar).
template <class V>
using Element = std::remove_cvref_t<decltype(std::declval<V>()[0])>;
template <class V>
struct ElementOf {
    using type = Element<V>;
};
template <class V>
requires std::is_arithmetic_v<V>
struct ElementOf<V> {
    using type = V;
};
template <class V>
using ElementT = typename ElementOf<V>::type;

template <class V>
constexpr bool kIsScalar = std::is_arithmetic_v<V>;

// A scalar copied into every lane.
template <class V>
TB_INLINE V splat(ElementT<V> x) {
    if constexpr (kIsScalar<V>) {
        return x;
    } else {
        return V{} + x;
    }
}

// Lane i is a where mask lane i is set, else b. Masks are bool or all-ones lanes
// of the same width as the values.
template <class M, class V>
TB_INLINE V select(M mask, V a, V b) {
    if constexpr (kIsScalar<V>) {
        return mask ? a : b;
    } else if constexpr (std::is_floating_point_v<ElementT<V>>) {
        using Bits = decltype(mask);
        return (V)((mask & (Bits)a) | (~mask & (Bits)b));
    } else {
        return ((V)mask & a) | (~(V)mask & b);
    }
}

// Written as conditionals, which compilers turn into min and max instructions.
template <class V>
TB_INLINE V minOf(V a, V b) {
    return a < b ? a : b;
}
template <class V>
TB_INLINE V maxOf(V a, V b) {
    return a > b ? a : b;
}
template <class V>
TB_INLINE V clampTo(V v, ElementT<V> lo, ElementT<V> hi) {
    return minOf(maxOf(v, splat<V>(lo)), splat<V>(hi));
}

// Lane-wise conversions: integer narrowing wraps modulo 2^32 (only used
// where the value fits or only its low bits matter); double to integer
// truncates a value that is already whole and in range.
template <class To, class From>
TB_INLINE To convert(From v) {
    if constexpr (kIsScalar<From>) {
        return To(v);
    } else {
        return __builtin_convertvector(v, To);
    }
}

// A mask with every lane set to `on`.
template <class P>
TB_INLINE typename P::M32 allLanes(bool on) {
    if constexpr (P::N == 1) {
        return on;
    } else {
        return splat<typename P::M32>(on ? -1 : 0);
    }
}

template <class P, class M>
TB_INLINE bool anyLane(M m) {
    if constexpr (P::N == 1) {
        return m;
    } else if constexpr (kTestsWholeMasks && (sizeof(M) == 16 || sizeof(M) == 32)) {
        return anyBitSet(m);
    } else {
        // Halves ORed together down to one 64-bit value: a few vector
        // instructions instead of a test of every lane.
        std::uint64_t v[sizeof(M) / 8];
        std::memcpy(v, &m, sizeof v);
        std::uint64_t any = 0;
        for (const std::uint64_t half : v) any |= half;
        return any != 0;
    }
}

// Whether every lane of a mask is set.
template <class P, class M>
TB_INLINE bool everyLane(M m) {
    if constexpr (P::N == 1) {
        return m;
    } else if constexpr (kTestsWholeMasks && (sizeof(M) == 16 || sizeof(M) == 32)) {
        return everyBitSet(m);
    } else {
        return !anyLane<P>(~m);
    }
}

// |x| lane by lane: the sign bit cleared.
template <class F>
TB_INLINE F magnitude(F x) {
    if constexpr (kIsScalar<F>) {
        return std::fabs(x);
    } else {
        typedef std::uint64_t Bits __attribute__((vector_size(sizeof(F))));
        return (F)((Bits)x & ~(std::uint64_t(1) << 63));
    }
}

// Shift right of 64-bit lanes as unsigned (the low bits are the same as an
// arithmetic shift's; some instruction sets have only the logical one).
template <class V>
TB_INLINE V shiftRightLogical(V v, int n) {
    if constexpr (kIsScalar<V>) {
        return V(std::uint64_t(v) >> n);
    } else {
        typedef std::uint64_t UV __attribute__((vector_size(sizeof(V))));
        return (V)(((UV)v) >> n);
    }
}

// The floor of x, |x| < 2^51. Adding and removing 1.5 x 2^52 rounds to the
// nearest whole number (the mantissa has no room left for fractions); one
// down where that went up gives the floor, on any instruction set.
template <class F>
TB_INLINE F floorSmall(F x) {
    constexpr double kRound = 6755399441055744.0;
    const F r = (x + kRound) - kRound;
    return select(r > x, r - 1.0, r);
}

// A whole number |x| < 2^51 as an integer, lane by lane: added to
// 1.5 x 2^52, it is the low bits of the sum's mantissa.
template <class P>
TB_INLINE typename P::I64 wholeToInt(typename P::F64 x) {
    constexpr double kRound = 6755399441055744.0;
    if constexpr (P::N == 1) {
        return std::int64_t(x);
    } else {
        return (typename P::I64)(x + kRound) - (typename P::I64)splat<typename P::F64>(kRound);
    }
}

// Lane i holds first + i.
template <class V>
TB_INLINE V iota(ElementT<V> first) {
    if constexpr (kIsScalar<V>) {
        return first;
    } else {
        V v;
        for (int i = 0; i < int(sizeof(V) / sizeof(first)); ++i) v[i] = ElementT<V>(first + i);
        return v;
    }
}

// Memory: `count` pixels (count <= N) from p; lanes beyond count read as 0.
template <class P>
TB_INLINE typename P::I32 loadColour(const std::uint32_t* p, int count) {
    if constexpr (P::N == 1) {
        (void)count;
        return std::int32_t(*p);
    } else {
        typename P::I32 v{};
        if (count == P::N) {
            std::memcpy(&v, p, sizeof v);
        } else {
            for (int i = 0; i < count; ++i) v[i] = std::int32_t(p[i]);
        }
        return v;
    }
}

template <class P>
TB_INLINE typename P::I32 loadDepth(const std::uint16_t* p, int count) {
    if constexpr (P::N == 1) {
        (void)count;
        return *p;
    } else {
        typename P::I32 v{};
        if (count == P::N) {
            typename Wide<P::N>::U16 d;
            std::memcpy(&d, p, sizeof d);
            v = __builtin_convertvector(d, typename P::I32);
        } else {
            for (int i = 0; i < count; ++i) v[i] = p[i];
        }
        return v;
    }
}

// Writes the lanes of v that `mask` selects among the first `count`; the
// other lanes of those pixels are written back as they were, and pixels
// beyond `count` are not touched (they may belong to another band).
template <class P>
TB_INLINE void storeColour(std::uint32_t* p, typename P::I32 v, typename P::M32 mask, int count) {
    if constexpr (P::N == 1) {
        (void)count;
        if (mask) *p = std::uint32_t(v);
    } else {
        if (count == P::N) {
            typename P::I32 old;
            std::memcpy(&old, p, sizeof old);
            old = select(mask, v, old);
            std::memcpy(p, &old, sizeof old);
        } else {
            for (int i = 0; i < count; ++i)
                if (mask[i]) p[i] = std::uint32_t(v[i]);
        }
    }
}

template <class P>
TB_INLINE void storeDepth(std::uint16_t* p, typename P::I32 v, typename P::M32 mask, int count) {
    if constexpr (P::N == 1) {
        (void)count;
        if (mask) *p = std::uint16_t(v);
    } else {
        if (count == P::N) {
            using U16 = typename Wide<P::N>::U16;
            U16 old;
            std::memcpy(&old, p, sizeof old);
            const U16 m = (U16) __builtin_convertvector(mask, decltype(old < old));
            old = (m & __builtin_convertvector(v, U16)) | (~m & old);
            std::memcpy(p, &old, sizeof old);
        } else {
            for (int i = 0; i < count; ++i)
                if (mask[i]) p[i] = std::uint16_t(v[i]);
        }
    }
}

// `count` values from p (count <= N); lanes beyond count repeat the first.
template <class P>
TB_INLINE typename P::I32 loadLanes(const std::int32_t* p, int count) {
    if constexpr (P::N == 1) {
        (void)count;
        return *p;
    } else {
        typename P::I32 v = splat<typename P::I32>(p[0]);
        if (count == P::N) {
            std::memcpy(&v, p, sizeof v);
        } else {
            for (int i = 1; i < count; ++i) v[i] = p[i];
        }
        return v;
    }
}

// Pixels by index: read every lane, write the lanes the mask selects.
template <class P>
TB_INLINE typename P::I32 gatherDepth(const std::uint16_t* base, typename P::I32 index) {
    if constexpr (P::N == 1) {
        return base[index];
    } else {
        typename P::I32 v;
        for (int i = 0; i < P::N; ++i) v[i] = base[index[i]];
        return v;
    }
}
template <class P>
TB_INLINE void scatterColour(std::uint32_t* base, typename P::I32 index, typename P::I32 v, typename P::M32 mask) {
    for (int i = 0; i < P::N; ++i)
        if (mask[i]) base[index[i]] = std::uint32_t(v[i]);
}
template <class P>
TB_INLINE void scatterDepth(std::uint16_t* base, typename P::I32 index, typename P::I32 v, typename P::M32 mask) {
    for (int i = 0; i < P::N; ++i)
        if (mask[i]) base[index[i]] = std::uint16_t(v[i]);
}

// Lane i of first and second are base[index lane i] and the element after it.
template <class P>
TB_INLINE void gatherPairs(const std::uint32_t* base, typename P::I32 index, typename P::U32& first,
                           typename P::U32& second) {
    if constexpr (P::N == 1) {
        first = base[index];
        second = base[index + 1];
    } else {
        using Pairs = typename Wide<P::N>::U64;
        Pairs pairs;
        for (int i = 0; i < P::N; ++i) {
            std::uint64_t pair;
            std::memcpy(&pair, base + index[i], sizeof pair);
            pairs[i] = pair;
        }
        first = __builtin_convertvector(pairs, typename P::U32);  // the lower address, on a little-endian machine
        second = __builtin_convertvector(pairs >> 32, typename P::U32);
    }
}

// gatherPairs of two rows: t00 and t10 from base, t01 and t11 from a row of
// `stride` elements further.
template <class P>
TB_INLINE void gatherSquares(const std::uint32_t* base, int stride, typename P::I32 index, typename P::U32& t00,
                             typename P::U32& t10, typename P::U32& t01, typename P::U32& t11) {
    if constexpr (gathersSquares(P::N)) {
        gatherSquaresFast(base, stride, index, t00, t10, t01, t11);
    } else {
        gatherPairs<P>(base, index, t00, t10);
        gatherPairs<P>(base + stride, index, t01, t11);
    }
}

// Lane i is table[index lane i], every index in [0, N). GCC lowers this to
// one permute instruction on AVX2 and NEON; WebAssembly has its own
// (lanes_wasm.h); elsewhere it is not used.
#if defined(__GNUC__) && !defined(__clang__) && (defined(__AVX2__) || defined(__aarch64__))
constexpr bool kFastPermute = true;
template <class P>
TB_INLINE typename P::U32 permute(typename P::U32 table, typename P::I32 index) {
    return __builtin_shuffle(table, (typename P::U32)index);
}
#elif !defined(__wasm_simd128__)
constexpr bool kFastPermute = false;
#endif

// The high 16 bits of the 32-bit products of signed 16-bit lanes (the
// product's arithmetic shift right by 16).
template <class V>
TB_INLINE V mulHigh(V a, V b) {
    if constexpr (kMultipliesHigh && sizeof(V) == 32) return mulHigh16(a, b);
    typedef std::int32_t Wide32 __attribute__((vector_size(sizeof(V) * 2)));
    return __builtin_convertvector((__builtin_convertvector(a, Wide32) * __builtin_convertvector(b, Wide32)) >> 16, V);
}

// N consecutive elements from p.
template <class P>
TB_INLINE typename P::U32 loadRun(const std::uint32_t* p) {
    typename P::U32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Lane i is base[index lane i] (a gather).
template <class P>
TB_INLINE typename P::I32 gather(const std::uint32_t* base, typename P::I32 index) {
    if constexpr (P::N == 1) {
        return std::int32_t(base[index]);
    } else {
        typename P::I32 v;
        for (int i = 0; i < P::N; ++i) v[i] = std::int32_t(base[index[i]]);
        return v;
    }
}

}  // namespace TB_ISA
}  // namespace softglide::detail
