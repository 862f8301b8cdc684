// Loading "Tank.ddo": 420 triangle records of 116 bytes in one text-mode block read.
// A short file, or one cut off by a 0x1A byte, leaves the remaining records zero.
#include <bit>

#include "core/world.h"
#include "display/display.h"
#include "platform/stream.h"

namespace tb {

static_assert(std::endian::native == std::endian::little, "the model file is little-endian");

void loadModel() {
    platform::TextStream file = platform::TextStream::openData("Tank.ddo");
    file.read(&world.model, sizeof(ModelTriangle), kModelTriangleCount);
}

}  // namespace tb
