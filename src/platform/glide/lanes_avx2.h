// Lane tests for AVX2 builds (see anyLane in lanes.h): one instruction,
// vptest, says whether any bit of a 128- or 256-bit mask is set.
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

}  // namespace TB_ISA
}  // namespace softglide::detail
#endif
