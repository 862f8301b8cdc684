// The game's start-up, the frame loop's pass and the display shutdown, each in
// its fixed order. Start-up lives here, above the simulation, because it opens
// the display and loads the assets before the world is placed.
#include "game/frame_loop.h"

#include "core/world.h"
#include "display/display.h"
#include "platform/glide/glide.h"
#include "play/play.h"
#include "render/render.h"
#include "sim/sim.h"

namespace tb {

void initGame() {
    initDisplay();
    loadModel();
    initTanks();
    initProps();
    for (WreckPart& w : world.wreckParts) w.active = 0;
    for (Explosion& e : world.explosions) e.active = 0;
    world.quitRequested = 0;
    world.firstFrame = 1;
    world.autoPilot1 = 0;
    world.autoPilot2 = 0;
    world.coopMode = 1;
    world.cameraZ = -180000.0f;
    world.teamBalance = 0.5f;
}

void runPass() {
    readControls();
    updateWorld();
    drawFrame();
    world.firstFrame = 0;
}

void shutdownDisplay() {
    grSstWinClose();
    grGlideShutdown();
}

}  // namespace tb
