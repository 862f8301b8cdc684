// Players and effects: keyboard control, firing, explosions and sound, destruction.
#pragma once

namespace tb {

void readControls();
void fireShell(int tank);
void spawnExplosion(float x, float y, int kind);
void wreckTank(int tank);
void removeTank(int tank);

}  // namespace tb
