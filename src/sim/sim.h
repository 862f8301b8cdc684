// Game simulation: world initialisation, the frame update, the computer
// opponent, tank contact, hit tests, entity updates and the camera.
#pragma once

#include <cstdint>

namespace tb {

// World initialisation (initGame, which also starts the display, is in game/frame_loop.h).
void initTanks();
void initProps();

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
