// World initialisation: display and assets first, then two tanks in play,
// ten waiting in their hangars, 256 props scattered below the ground.
#include "app/world.h"
#include "display/display.h"
#include "sim/sim.h"

namespace tb {

void placeInHangar(int tank) {
    Tank& t = world.tanks[tank];
    t.x = float(500 - 1000 * t.team);
    t.y = float(200 * (tank / 2) - 500);
    t.heading = float(t.team * kPi - kHalfPi);
    t.runIn = 130;
    t.health = 16.0f;
    t.target = -1;
}

void initTanks() {
    for (int i = 0; i < kTankCount; ++i) {
        Tank& t = world.tanks[i];
        t = Tank{};
        t.active = i < 2 ? 1 : 0;
        t.team = i % 2;
        t.wanderTimer = tb::rand() % 190 - 150;
        t.z = 1.0f;
        placeInHangar(i);
    }
}

void initProps() {
    for (Prop& p : world.props) {
        p.x = float(tb::rand() % 1400 - 700);
        p.y = float(tb::rand() % 1400 - 700);
        p.z = float(-(tb::rand() % 400));
        p.angle = float(tb::rand());
        p.state = 1;
    }
}

void initGame() {
    initDisplay();
    loadModel();
    initTanks();
    initProps();
    for (WreckPart& w : world.wreckParts) w.active = 0;
    for (Explosion& e : world.explosions) e.active = 0;
    world.quitRequested = 0;
    world.firstFrame = 1;
    world.autoPilot1 = 0;
    world.autoPilot2 = 0;
    world.coopMode = 1;
    world.cameraZ = -180000.0f;
    world.teamBalance = 0.5f;
}

}  // namespace tb
