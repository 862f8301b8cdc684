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
    fuzz::openDisplayOnce();

    // The reader alone: a block read never stores more than asked, and whole items only count.
    {
        platform::TextStream stream(std::vector<std::uint8_t>(data, data + size));
        std::vector<std::uint8_t> out(sizeof(tb::ModelTriangle) * 3 + 1, 0xAB);
        std::size_t items = stream.read(out.data(), sizeof(tb::ModelTriangle), 3);
        fuzz::require(items <= 3 && out.back() == 0xAB);
        stream.seek(size > 7 ? long(data[7]) - 128 : -1, 1);
        while (stream.getc() >= 0) {
        }
        // Positioning may go past the end (reads there find nothing) but never below the start.
        stream.seek(-long(stream.position()) - 5, 1);
        fuzz::require(stream.position() == 0);
    }

    fuzz::writeDataFile("Tank.ddo", data, size);
    std::memset(&world.model, 0, sizeof world.model);
    tb::loadModel();

    // Every mesh once, in each variant the game draws with.
    world.cameraX = world.cameraY = world.cameraAngle = 0;
    world.cameraZ = -180000.0f;
    for (int first = 0; first + tb::kMeshTriangles <= tb::kModelTriangleCount; first += tb::kMeshTriangles)
        tb::drawMesh(10, 20, 0, 0.5f, 30, first / tb::kMeshTriangles % 3 - 1, first);
    grBufferSwap(1);
    return 0;
}
