// World initialisation: two tanks in play, ten waiting in their hangars,
// 256 props scattered below the ground.
#include "core/world.h"
#include "play/play.h"
#include "sim/sim.h"

namespace tb {

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

}  // namespace tb
