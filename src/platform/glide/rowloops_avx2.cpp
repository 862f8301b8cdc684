// The game's lane loops built for the AVX2 instruction set, chosen at run
// time on x86-64 processors that have it. Built with -mavx2 (CMake sets it
// for this file on x86); anywhere else it offers nothing.
#if defined(__AVX2__)
#define TB_ISA avx2
#endif
#include "rowloops.h"

namespace softglide::detail {

#if defined(__AVX2__)
namespace {
constexpr GameLoopTable<Wide<8>> kAvx2Rows;
}  // namespace

RowLoop avx2RowLoop(int gameMode) {
    static const bool available = __builtin_cpu_supports("avx2");
    return available ? kAvx2Rows.fn[gameMode] : nullptr;
}
#else
RowLoop avx2RowLoop(int) { return nullptr; }
#endif

}  // namespace softglide::detail
