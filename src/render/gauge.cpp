// The balance gauge (two rows of ten team markers at the far edges of the
// field showing teamBalance as a tug of war) and the field markings at the centre.
#include "core/world.h"
#include "render/render.h"

namespace tb {

void drawBalanceGauge() {
    // The clamped value is kept, so later changes start from it.
    if (world.teamBalance > 1)
        world.teamBalance = 1;
    else if (world.teamBalance < 0)
        world.teamBalance = 0;
    for (int i = 0; i < 10; ++i) {
        const float x = float(-50 + 10 * i);
        const std::int32_t variant = double(i) < 10 * double(world.teamBalance) ? 1 : 0;
        drawMesh(x, -700, 1000, world.wanderAngle, 0, variant, 63);
        drawMesh(x, 700, 1000, world.wanderAngle, 0, variant, 63);
    }
}

void drawFieldMarkings() {
    setBlendAlpha();
    drawMesh(0, 0, 1, 0, 0, 0, 168);
    drawMesh(0, 0, 1, float(kPi), 0, 0, 168);
    drawMesh(0, 0, 1, float(kHalfPi), 0, 0, 189);
    drawMesh(0, 0, 1, -float(kHalfPi), 0, 0, 189);
}

}  // namespace tb
