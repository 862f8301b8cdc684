// Lane operations for AVX2 builds (see lanes.h): the tests of a whole mask
// (one instruction, vptest, says whether any bit of a 128- or 256-bit mask
// is set, or every one), the texture's pairs of taps for four or eight
// pixels, and the high halves of 16-bit products.
#pragma once

#if defined(__AVX2__)
#include <immintrin.h>

#include <cstdint>

namespace softglide::detail {
inline namespace TB_ISA {

constexpr bool kTestsWholeMasks = true;

template <class M>
TB_INLINE bool anyBitSet(M m) {
    if constexpr (sizeof(M) == 32) {
        typedef long long Bits __attribute__((vector_size(32)));
        return !__builtin_ia32_ptestz256((Bits)m, (Bits)m);
    } else {
        static_assert(sizeof(M) == 16);
        typedef long long Bits __attribute__((vector_size(16)));
        return !__builtin_ia32_ptestz128((Bits)m, (Bits)m);
    }
}

// Whether every bit of such a mask is set: vptest's other flag.
template <class M>
TB_INLINE bool everyBitSet(M m) {
    if constexpr (sizeof(M) == 32) {
        typedef long long Bits __attribute__((vector_size(32)));
        return __builtin_ia32_ptestc256((Bits)m, ~Bits{});
    } else {
        static_assert(sizeof(M) == 16);
        typedef long long Bits __attribute__((vector_size(16)));
        return __builtin_ia32_ptestc128((Bits)m, ~Bits{});
    }
}

// Which lane counts gatherSquaresFast takes.
constexpr bool gathersSquares(int lanes) { return lanes == 4 || lanes == 8; }

// Lane i of t00 and t10 are base[index[i]] and the element after it, and
// of t01 and t11 the same a row of `stride` elements further, for four or
// eight lanes: one 64-bit load a pixel and row, then the first and second
// elements of the pairs sorted into two registers by two shuffles (what the
// compiler makes of the portable form takes about three times as many
// instructions).
template <class I32, class U32>
TB_INLINE void gatherSquaresFast(const std::uint32_t* base, int stride, I32 index, U32& t00, U32& t10, U32& t01,
                                 U32& t11) {
    static_assert(sizeof(I32) == sizeof(U32) && (sizeof(I32) == 32 || sizeof(I32) == 16));
    alignas(32) std::int32_t ix[sizeof(I32) / 4];
    __builtin_memcpy(ix, &index, sizeof ix);
    auto row = [&](const std::uint32_t* p, U32& first, U32& second) {
        auto pairs = [&](int a, int b) {
            return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + ix[a])),
                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + ix[b])));
        };
        if constexpr (sizeof(I32) == 16) {
            const __m128 x0 = _mm_castsi128_ps(pairs(0, 1)), x1 = _mm_castsi128_ps(pairs(2, 3));
            first = (U32)_mm_shuffle_ps(x0, x1, 0x88);
            second = (U32)_mm_shuffle_ps(x0, x1, 0xDD);
        } else {
            // Lanes 0, 1, 4, 5 and lanes 2, 3, 6, 7: the shuffles take the
            // even and the odd elements of each 128-bit half from one and
            // then the other.
            const __m256 x0 =
                _mm256_castsi256_ps(_mm256_inserti128_si256(_mm256_castsi128_si256(pairs(0, 1)), pairs(4, 5), 1));
            const __m256 x1 =
                _mm256_castsi256_ps(_mm256_inserti128_si256(_mm256_castsi128_si256(pairs(2, 3)), pairs(6, 7), 1));
            first = (U32)_mm256_shuffle_ps(x0, x1, 0x88);
            second = (U32)_mm256_shuffle_ps(x0, x1, 0xDD);
        }
    };
    row(base, t00, t10);
    row(base + stride, t01, t11);
}

// The high halves of 16-bit products (mulHigh in lanes.h), which the
// compiler does not find in the portable form for 256-bit vectors.
constexpr bool kMultipliesHigh = true;

template <class V>
TB_INLINE V mulHigh16(V a, V b) {
    static_assert(sizeof(V) == 32);
    typedef short Halves __attribute__((vector_size(32)));
    return (V)__builtin_ia32_pmulhw256((Halves)a, (Halves)b);
}

}  // namespace TB_ISA
}  // namespace softglide::detail
#endif
