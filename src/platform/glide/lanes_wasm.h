// The lane permute (see lanes.h) for WebAssembly SIMD, whose only variable
// shuffle picks bytes: each 32-bit index becomes the indices of its four bytes.
#pragma once

#if defined(__wasm_simd128__)
namespace softglide::detail {
inline namespace TB_ISA {

constexpr bool kFastPermute = true;

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
