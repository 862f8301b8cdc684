// Lane tests for AVX2 builds (see anyLane in lanes.h): one instruction,
// vptest, says whether any bit of a 128- or 256-bit mask is set, or every one.
#pragma once

#if defined(__AVX2__)
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

}  // namespace TB_ISA
}  // namespace softglide::detail
#endif
