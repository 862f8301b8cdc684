// Lane operations for WebAssembly SIMD (see lanes.h): the permute, whose
// only variable form picks bytes (each 32-bit index becomes the indices of
// its four bytes), the tests for any and every set bit of a mask, and the
// texture's pairs of taps for four pixels.
#pragma once

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include <cstdint>

namespace softglide::detail {
inline namespace TB_ISA {

constexpr bool kFastPermute = true;
constexpr bool kTestsWholeMasks = true;

template <class M>
TB_INLINE bool anyBitSet(M m) {
    typedef signed char Bytes __attribute__((vector_size(16)));
    if constexpr (sizeof(M) == 32) {
        Bytes halves[2];
        __builtin_memcpy(halves, &m, sizeof halves);
        return __builtin_wasm_any_true_v128(halves[0] | halves[1]);
    } else {
        static_assert(sizeof(M) == 16);
        return __builtin_wasm_any_true_v128((Bytes)m);
    }
}

template <class M>
TB_INLINE bool everyBitSet(M m) {
    typedef signed char Bytes __attribute__((vector_size(16)));
    if constexpr (sizeof(M) == 32) {
        Bytes halves[2];
        __builtin_memcpy(halves, &m, sizeof halves);
        return !__builtin_wasm_any_true_v128(~(halves[0] & halves[1]));
    } else {
        static_assert(sizeof(M) == 16);
        return !__builtin_wasm_any_true_v128(~(Bytes)m);
    }
}

template <class P>
TB_INLINE typename P::U32 permute(typename P::U32 table, typename P::I32 index) {
    static_assert(P::N == 4, "one 128-bit register");
    typedef signed char Bytes __attribute__((vector_size(16)));
    const typename P::U32 bytes = (typename P::U32)index * 0x04040404u + 0x03020100u;
    return (typename P::U32)__builtin_wasm_swizzle_i8x16((Bytes)table, (Bytes)bytes);
}

// Which lane counts gatherSquaresFast takes: one 128-bit register.
constexpr bool gathersSquares(int lanes) { return lanes == 4; }

// Lane i of t00 and t10 are base[index[i]] and the element after it, and
// of t01 and t11 the same a row of `stride` elements further: one 64-bit
// load a pixel and row into the lanes of two registers, then the first and
// second elements of the pairs sorted out by two shuffles.
template <class I32, class U32>
TB_INLINE void gatherSquaresFast(const std::uint32_t* base, int stride, I32 index, U32& t00, U32& t10, U32& t01,
                                 U32& t11) {
    static_assert(sizeof(I32) == 16 && sizeof(U32) == 16);
    auto row = [&](const std::uint32_t* p, U32& first, U32& second) {
        const v128_t x0 = wasm_v128_load64_lane(p + index[1], wasm_v128_load64_zero(p + index[0]), 1);
        const v128_t x1 = wasm_v128_load64_lane(p + index[3], wasm_v128_load64_zero(p + index[2]), 1);
        first = (U32)wasm_i32x4_shuffle(x0, x1, 0, 2, 4, 6);
        second = (U32)wasm_i32x4_shuffle(x0, x1, 1, 3, 5, 7);
    };
    row(base, t00, t10);
    row(base + stride, t01, t11);
}

}  // namespace TB_ISA
}  // namespace softglide::detail
#endif
