// One frame in its fixed order: solid objects, then the ground (which hides
// whatever lies below ground level), then everything translucent or glowing;
// then swap and clear. The blend setting carries over from one routine to the next.
#include "platform/glide/glide.h"
#include "render/render.h"

namespace tb {

void setBlendOpaque() { grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO); }
void setBlendAlpha() {
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
}
void setBlendAdditive() { grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO); }
void setBlendAlphaAdditive() { grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO); }

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
