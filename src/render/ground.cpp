// The ground: one screen-filling quad at depth 60000 whose texture coordinates
// are the world positions under the screen corners, so the texture stays fixed
// to the world as the camera pans, turns and zooms.
#include <cmath>

#include "core/world.h"
#include "platform/glide/glide.h"
#include "render/projection.h"
#include "render/render.h"

namespace tb {

void drawGround() {
    setBlendOpaque();
    grTexSource(GR_TMU0, world.textureAddress[0], GR_MIPMAPLEVELMASK_BOTH, &world.textureInfo[0]);

    const double c = -double(world.cameraAngle);
    const double C = std::cos(c), S = std::sin(c);
    // World units per pixel on the ground plane.
    const double D = unitsPerPixel(60000);

    // Top left, top right, bottom right, bottom left: screen position and offset from the centre.
    static constexpr double kCorners[4][4] = {{0.5, 0.5, -319.5, -239.5},
                                              {640.5, 0.5, 319.5, -239.5},
                                              {640.5, 480.5, 319.5, 239.5},
                                              {0.5, 480.5, -319.5, 239.5}};
    GrVertex v[4] = {};
    for (int i = 0; i < 4; ++i) {
        const double u = kCorners[i][2], w = kCorners[i][3];
        const double X = (u * C - w * S) * D + double(world.cameraX);
        const double Y = (u * S + w * C) * D + double(world.cameraY);
        v[i].x = float(kCorners[i][0]);
        v[i].y = float(kCorners[i][1]);
        v[i].z = 60000.0f;
        v[i].ooz = 60000.0f;
        v[i].r = 55;
        v[i].g = 55;
        v[i].b = 155;
        v[i].a = 0;
        v[i].oow = float(1.0 / 60000.0);
        v[i].tmuvtx[0].oow = v[i].oow;
        v[i].tmuvtx[0].sow = float(X * (1.0 / 60000.0));
        v[i].tmuvtx[0].tow = float(Y * (1.0 / 60000.0));
    }
    grDrawTriangle(&v[0], &v[3], &v[2]);
    grDrawTriangle(&v[2], &v[1], &v[0]);
}

}  // namespace tb
