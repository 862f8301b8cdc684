// The top-down camera's projection, written once for the mesh drawer, the ground
// and the on-screen test: a point at depth d is turned by the camera angle about
// the camera's position and scaled by 1 / ((d - cameraZ) * kPerspective) about
// the centre of the 640 x 480 screen.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

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
// A cache of a function of cameraAngle's bits (so -0 and 0, whose sines differ
// in sign, are told apart): it is not part of the world record, and a world
// restored from a snapshot gets the same values as the world that was saved.
inline CameraTrig cameraTrig() {
    static std::uint32_t bits = 0;
    static CameraTrig trig = {1.0, 0.0};
    std::uint32_t now;
    std::memcpy(&now, &world.cameraAngle, sizeof now);
    if (now != bits) {
        bits = now;
        trig = {std::cos(double(world.cameraAngle)), std::sin(double(world.cameraAngle))};
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
