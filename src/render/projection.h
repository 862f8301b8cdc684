// The top-down camera's projection, written once for the mesh drawer, the ground
// and the on-screen test: a point at depth d is turned by the camera angle about
// the camera's position and scaled by 1 / ((d - cameraZ) * kPerspective) about
// the centre of the 640 x 480 screen.
#pragma once

#include <cmath>

#include "core/world.h"

namespace tb {

constexpr double kPerspective = 0.0000153846;

// World units per pixel at depth d (the ground plane lies at 60000).
inline double unitsPerPixel(double depth) { return (depth - double(world.cameraZ)) * kPerspective; }

struct CameraTrig {
    double c, s;
};

// The cosine and sine of the camera angle, worked out once per angle value:
// every projection of a frame uses them, and the angle changes once per update.
// A cache of a function of cameraAngle, so it is not part of the world record.
inline CameraTrig cameraTrig() {
    static float angle = 0;
    static CameraTrig trig = {1.0, 0.0};
    if (world.cameraAngle != angle || std::isnan(world.cameraAngle)) {
        angle = world.cameraAngle;
        trig = {std::cos(double(angle)), std::sin(double(angle))};
    }
    return trig;
}

struct ScreenPoint {
    double x, y;
};

// Where the world point (x, y) at depth d lands on the screen, before it is
// truncated to whole pixels.
inline ScreenPoint project(const CameraTrig& camera, double x, double y, double depth) {
    const double ex = x - double(world.cameraX), ey = y - double(world.cameraY);
    const double f = 1 / unitsPerPixel(depth);
    return {320.0 + f * (ex * camera.c - ey * camera.s), 240.0 + f * (ex * camera.s + ey * camera.c)};
}

}  // namespace tb
