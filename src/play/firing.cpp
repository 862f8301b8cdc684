// Firing: reload time, a shell from the gun muzzle 40 units ahead, a smoke puff, the sound.
#include <cmath>

#include "core/world.h"
#include "platform/sound.h"
#include "play/play.h"

namespace tb {

void fireShell(int tank) {
    Tank& t = world.tanks[tank];
    t.reload = 40.0f;
    for (Shell& s : world.shells) {
        if (s.active) continue;
        const float d = t.heading + t.turretAngle;
        s.owner = tank;
        s.active = 1;
        s.heading = d;
        s.team = t.team;
        s.z = float(double(t.z) + 1700.0);
        s.x = float(double(t.x) + 40 * std::sin(double(d)));
        s.y = float(double(t.y) - 40 * std::cos(double(d)));
        s.life = 280.0f;
        for (MuzzleSmoke& m : world.muzzleSmoke) {
            if (m.active) continue;
            m.active = 1;
            m.x = s.x;
            m.y = s.y;
            m.z = float(double(s.z) + 400.0);
            m.life = 200.0f;
            m.heading = s.heading;
            break;
        }
        break;
    }
    // The shot is heard even when the shell table was full.
    platform::playSound("bumm.wav");
}

}  // namespace tb
