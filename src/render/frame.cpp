// One frame in its fixed order: solid objects, then the ground (which hides
// whatever lies below ground level), then everything translucent or glowing;
// then swap and clear. The blend setting carries over from one routine to the next.
#include "platform/glide/blends.h"
#include "platform/glide/glide.h"
#include "render/render.h"

namespace tb {

void setBlendOpaque() { glideblend::apply(glideblend::kOpaque); }
void setBlendAlpha() { glideblend::apply(glideblend::kAlpha); }
void setBlendAdditive() { glideblend::apply(glideblend::kAdditive); }
void setBlendAlphaAdditive() { glideblend::apply(glideblend::kAlphaAdditive); }

void drawFrame() {
    drawHangars();  // under the blend the previous frame left: alpha-additive
    drawTanks();
    drawWreckParts();
    drawDebris();
    drawProps();
    drawBalanceGauge();
    drawGround();
    drawFieldMarkings();
    drawShells();
    drawExplosions();
    drawMuzzleSmoke();
    grBufferSwap(1);
    grBufferClear(0x00000000, 0, 0xFFFF);
}

}  // namespace tb
