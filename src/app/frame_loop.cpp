// The frame loop's pass in its fixed order, and the display shutdown.
#include "app/frame_loop.h"

#include "app/world.h"
#include "play/play.h"
#include "platform/glide/glide.h"
#include "render/render.h"
#include "sim/sim.h"

namespace tb {

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
