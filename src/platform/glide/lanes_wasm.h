// Lane operations for WebAssembly SIMD (see lanes.h): the permute, whose
// only variable form picks bytes (each 32-bit index becomes the indices of
// its four bytes), and the tests for any and every set bit of a mask.
#pragma once

#if defined(__wasm_simd128__)
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

}  // namespace TB_ISA
}  // namespace softglide::detail
#endif
