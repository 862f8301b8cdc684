// The camera: pans toward the middle of the tanks in play, zooms so that they
// stay inside the comfort margins of the screen, and turns slowly all the time.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/world.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

// Whole-number bounds; each value is truncated when stored, compared untruncated.
struct Range {
    bool empty = true;
    std::int32_t lo = 0, hi = 0;
    void add(double v) {
        if (empty || v < lo) lo = trunc32(v);
        if (empty || v > hi) hi = trunc32(v);
        empty = false;
    }
};

// A tenth of the remaining whole-unit distance per update, first toward a larger, then a smaller target.
float panToward(float camera, std::int32_t target) {
    if (double(target) > double(camera))
        camera = float(double(camera) + trunc32(std::fabs(double(camera) - target)) * 0.1);
    if (double(target) < double(camera))
        camera = float(double(camera) - trunc32(std::fabs(double(camera) - target)) * 0.1);
    return camera;
}

}  // namespace

void updateCamera() {
    Range worldX, worldY, screenX, screenY;
    const double ca = std::cos(double(world.cameraAngle)), sa = std::sin(double(world.cameraAngle));
    for (const Tank& t : world.tanks) {
        if (!t.active) continue;
        const double dx = double(t.x) - double(world.cameraX);
        const double dy = double(t.y) - double(world.cameraY);
        std::int32_t h = 57999 - trunc32(t.z);
        if (h == 0) h = 1;
        const double depth = (double(h) - double(world.cameraZ)) * 1.53846e-05;
        worldX.add(t.x);
        worldY.add(t.y);
        screenX.add((dx * ca - dy * sa) / depth + 320);
        screenY.add((dy * ca + dx * sa) / depth + 240);
    }

    // With no tank in play there is nothing to follow: the camera only keeps turning.
    if (!worldX.empty) {
        world.cameraX = panToward(world.cameraX, std::int32_t((std::int64_t(worldX.lo) + worldX.hi) / 2));
        world.cameraY = panToward(world.cameraY, std::int32_t((std::int64_t(worldY.lo) + worldY.hi) / 2));

        // Zoom out by the largest overshoot of a margin, else in by the largest free margin.
        std::int64_t over = 0;
        if (screenX.hi > 540) over = std::max<std::int64_t>(over, std::int64_t(screenX.hi) - 540);
        if (screenX.lo < 100) over = std::max<std::int64_t>(over, 100 - std::int64_t(screenX.lo));
        if (screenY.hi > 380) over = std::max<std::int64_t>(over, std::int64_t(screenY.hi) - 380);
        if (screenY.lo < 100) over = std::max<std::int64_t>(over, 100 - std::int64_t(screenY.lo));
        std::int64_t target = 0;
        if (over > 0) {
            target = -2 * over;
        } else {
            std::int64_t room = 0;
            if (screenX.hi < 540) room = std::max<std::int64_t>(room, 540 - std::int64_t(screenX.hi));
            if (screenX.lo > 100) room = std::max<std::int64_t>(room, std::int64_t(screenX.lo) - 100);
            if (screenY.hi < 380) room = std::max<std::int64_t>(room, 380 - std::int64_t(screenY.hi));
            if (screenY.lo > 100) room = std::max<std::int64_t>(room, std::int64_t(screenY.lo) - 100);
            if (room > 0)
                target = 2 * room;
            else
                world.cameraZoomSpeed = 0;
        }
        if (double(target) < world.cameraZoomSpeed) world.cameraZoomSpeed = float(double(world.cameraZoomSpeed) - 6);
        if (double(target) > world.cameraZoomSpeed) world.cameraZoomSpeed = float(double(world.cameraZoomSpeed) + 2);
        world.cameraZ = float(double(world.cameraZ) + double(world.cameraZoomSpeed) * 4);
    }
    world.cameraAngle = float(double(world.cameraAngle) + double(0.00003f));
    if (world.cameraZ > 40000) world.cameraZ = 40000;
}

}  // namespace tb
