// Explosions: the one way they enter the world; the big kind is heard.
#include "core/world.h"
#include "platform/sound.h"
#include "play/play.h"

namespace tb {

void spawnExplosion(float x, float y, int kind) {
    for (Explosion& e : world.explosions) {
        if (e.active) continue;
        e.active = 1;
        e.x = x;
        e.y = y;
        e.z = 1400.0f;
        e.life = 100.0f;
        e.spin = float(tb::rand());
        e.kind = kind;
        break;
    }
    // A full table drops the explosion but not its sound.
    if (kind == 0) platform::playSound("expl.wav");
}

}  // namespace tb
