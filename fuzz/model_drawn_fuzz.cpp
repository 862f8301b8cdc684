// Fuzzes "Tank.ddo" thoroughly (for long runs): the text-mode reader's block
// read and positioning, the model load, and two passes of the whole world with
// that model (the second with pixels), so that whatever the file holds (NaN,
// infinities, huge coordinates, texture slots out of range, any 0x0D/0x1A
// pattern) reaches the mesh drawer, the projection, the heat sampling and the
// rasteriser with everything else a battle draws.
#include <cstring>

#include "core/world.h"
#include "display/display.h"
#include "fuzz_common.h"
#include "game/frame_loop.h"
#include "platform/glide/softglide.h"
#include "play/play.h"
#include "sim/sim.h"

using tb::world;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::openDisplayOnce();

    fuzz::loadModelFrom(data, size);

    // A fresh battle: every tank in play so that every mesh is drawn.
    tb::srand(42);
    tb::initTanks();
    tb::initProps();
    for (auto& t : world.tanks) t.active = 1;
    for (auto& e : world.explosions) e.active = 0;
    for (auto& w : world.wreckParts) w.active = 0;
    for (auto& d : world.debris) d.active = 0;
    for (auto& s : world.shells) s.active = 0;
    for (auto& m : world.muzzleSmoke) m.active = 0;
    std::memset(world.heatGrid, 0, sizeof world.heatGrid);
    world.quitRequested = 0;
    world.firstFrame = 1;
    world.autoPilot1 = world.autoPilot2 = 1;
    world.coopMode = 1;
    world.frameCounter = 0;
    world.cameraX = world.cameraY = world.cameraAngle = world.wanderAngle = world.cameraZoomSpeed = 0;
    world.cameraZ = -180000.0f;
    world.teamBalance = 0.5f;
    softglide::setRasterEnabled(false);  // the game side only: projection, heat, clipping
    tb::runPass();
    // Something of every kind on the field: a shell, a hit (debris), a wreck, explosions.
    tb::fireShell(0);
    tb::shellHitsTank(4, 0);
    tb::fireShell(1);
    tb::wreckTank(3);
    tb::spawnExplosion(0, 0, 0);
    tb::spawnExplosion(100, 0, 1);
    softglide::setRasterEnabled(true);  // and once through the rasteriser
    tb::runPass();
    return 0;
}
