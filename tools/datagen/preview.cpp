// Art preview: runs the game headless (optionally from a replay), then draws the
// last frame with a chosen camera and writes it as a PNG, so the generated data
// can be looked at up close.
//
//   datagen_preview DATA_DIR FRAMES OUT.png [--replay FILE] [--follow TANK]
//                   [--zoom CAMERA_Z] [--at X Y]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/world.h"
#include "game/frame_loop.h"
#include "platform/glide/softglide.h"
#include "platform/replay.h"
#include "platform/screenshot.h"
#include "platform/stream.h"
#include "render/render.h"
#include "sim/sim.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s DATA_DIR FRAMES OUT.png [--replay FILE] [--follow TANK] [--zoom Z] [--at X Y]\n",
                     argv[0]);
        return 2;
    }
    platform::setDataDirectory(argv[1]);
    const long frames = std::atol(argv[2]);
    const std::string out = argv[3];
    platform::Replay replay;
    int follow = -1;
    bool zoom = false, at = false;
    float cameraZ = 0, atX = 0, atY = 0;
    for (int i = 4; i < argc; ++i) {
        std::string a = argv[i], error;
        if (a == "--replay" && i + 1 < argc) {
            if (!platform::loadReplay(argv[++i], replay, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 2;
            }
        } else if (a == "--follow" && i + 1 < argc) {
            follow = std::atoi(argv[++i]);
        } else if (a == "--zoom" && i + 1 < argc) {
            zoom = true;
            cameraZ = float(std::atof(argv[++i]));
        } else if (a == "--at" && i + 2 < argc) {
            at = true;
            atX = float(std::atof(argv[++i]));
            atY = float(std::atof(argv[++i]));
        } else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    platform::ReplayKeyboard keyboard(std::move(replay));
    platform::setKeyboard(&keyboard);
    softglide::setRasterEnabled(true);
    tb::initGame();
    for (long pass = 0; pass < frames; ++pass) {
        keyboard.beginPass(pass);
        tb::runPass();
    }
    if (follow >= 0 && follow < tb::kTankCount) {
        tb::world.cameraX = tb::world.tanks[follow].x;
        tb::world.cameraY = tb::world.tanks[follow].y;
    }
    if (at) {
        tb::world.cameraX = atX;
        tb::world.cameraY = atY;
    }
    if (zoom) tb::world.cameraZ = cameraZ;
    tb::drawFrame();
    std::string error;
    if (!platform::writePng(out, softglide::frontBuffer(), softglide::kScreenWidth, softglide::kScreenHeight, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    tb::shutdownDisplay();
    platform::setKeyboard(nullptr);
    return 0;
}
