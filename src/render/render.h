// Scene rendering: the mesh drawer, the ground, the entities, gauge and markings, the frame.
#pragma once

#include <cstdint>

namespace tb {

void drawMesh(float x, float y, float z, float heading, float phase, std::int32_t variant, std::int32_t firstTriangle);
std::int32_t sampleHeat(float x, float y);

void drawGround();
void drawHangars();
void drawTanks();
void drawShells();
void drawMuzzleSmoke();
void drawExplosions();
void drawProps();
void drawWreckParts();
void drawDebris();
void drawBalanceGauge();
void drawFieldMarkings();
void drawFrame();

// The four blend settings the frame uses.
void setBlendOpaque();
void setBlendAlpha();
void setBlendAdditive();
void setBlendAlphaAdditive();

}  // namespace tb
