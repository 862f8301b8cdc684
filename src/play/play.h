// Players and effects: keyboard control, firing, explosions and sound, destruction.
#pragma once

namespace tb {

void readControls();
void fireShell(int tank);
void spawnExplosion(float x, float y, int kind);
void wreckTank(int tank);
void removeTank(int tank);
// A tank's place at the start and after a wreck or removal: the centre of its own
// hangar, facing the field, with a fresh drive-out, full health and no target.
void placeInHangar(int tank);

}  // namespace tb
