// Game simulation: world initialisation, the frame update, the computer
// opponent, tank contact, hit tests, entity updates and the camera.
#pragma once

#include <cstdint>

namespace tb {

// World initialisation.
void initGame();
void initTanks();
void initProps();
// A tank's place at the start and after a wreck or removal: the centre of its own
// hangar, facing the field, with a fresh drive-out, full health and no target.
void placeInHangar(int tank);

// Frame update.
void updateWorld();

// Computer opponent.
void runOpponent(int me);
bool canSee(int observer, int other);
double nearestDifference(double b, double a);

// Tank contact and angle normalisation.
void resolveTankContact(int a, int b);
float wrapAngle(float x);

// Shell impacts and hit tests.
bool propUnderTank(int tank, float px, float py);
bool tankInHangar(int tank, float hx, float hy);
void shellHitsTank(int tank, int shell);

// Entity updates.
void updateEntities();

// Camera.
void updateCamera();

// The heat grid cell index of a world point; -1 outside the battlefield square.
int heatCellIndex(double x, double y);
// Row or column of the heat grid for a coordinate, unclamped.
std::int32_t heatGridLine(double v);

}  // namespace tb
