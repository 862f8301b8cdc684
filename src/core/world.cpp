// The one world record and the shared random generator.
#include "core/world.h"

namespace tb {

WorldState world;

void srand(std::uint32_t seed) { world.randomState = seed; }

int rand() {
    world.randomState = world.randomState * 1103515245u + 12345u;
    return static_cast<int>((world.randomState >> 16) & 0x7FFF);
}

}  // namespace tb
