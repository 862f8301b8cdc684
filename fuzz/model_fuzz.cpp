// Fuzzes "Tank.ddo" fast: the text-mode reader's block read and positioning,
// the model load, and every mesh drawn once by the mesh drawer, so that
// whatever the file holds (NaN, infinities, huge coordinates, texture slots
// out of range, any 0x0D/0x1A pattern) reaches the vertex arithmetic, the
// clipper and the rasteriser. The model_drawn target draws whole passes of a
// battle with the model.
#include <cstring>

#include "core/world.h"
#include "fuzz_common.h"
#include "platform/glide/softglide.h"
#include "render/render.h"

using tb::world;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        fuzz::openDisplayOnce();
        softglide::setThreads(1);  // drawing on threads is the thorough targets' and the race detector's
        return true;
    }();
    (void)ready;

    fuzz::loadModelFrom(data, size);

    // Every mesh once, in each variant the game draws with.
    world.cameraX = world.cameraY = world.cameraAngle = 0;
    world.cameraZ = -180000.0f;
    for (int first = 0; first + tb::kMeshTriangles <= tb::kModelTriangleCount; first += tb::kMeshTriangles)
        tb::drawMesh(10, 20, 0, 0.5f, 30, first / tb::kMeshTriangles % 3 - 1, first);
    grBufferSwap(1);
    return 0;
}
