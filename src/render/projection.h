// The cosine and sine of the camera angle, worked out once per angle value:
// every projection of a frame uses them, and the angle changes once per update.
#pragma once

#include <cmath>

#include "core/world.h"

namespace tb {

struct CameraTrig {
    double c, s;
};

inline CameraTrig cameraTrig() {
    static float angle = 0;
    static CameraTrig trig = {1.0, 0.0};
    if (world.cameraAngle != angle || std::isnan(world.cameraAngle)) {
        angle = world.cameraAngle;
        trig = {std::cos(double(angle)), std::sin(double(angle))};
    }
    return trig;
}

}  // namespace tb
