// The world state: every table and scalar of the game, in one static record,
// plus the shared random generator. Every subsystem reads and writes it directly.
#pragma once

#include <cstdint>

#include "platform/glide/glide.h"

namespace tb {

struct Tank {
    std::uint8_t active;
    std::int32_t team;
    std::int32_t target;
    std::int32_t wanderTimer;
    std::int32_t runIn;
    float x, y, z;
    float speed;
    float turnRate;
    float turretRate;
    float heading;
    float turretAngle;
    float health;
    float trackPhase;
    float markerAngle;
    float reload;
};

struct Shell {
    std::uint8_t active;
    std::int32_t team;
    std::int32_t owner;
    float x, y, z;
    float heading;
    float life;
};

struct MuzzleSmoke {
    std::uint8_t active;
    float x, y, z;
    float heading;
    float life;
};

struct Explosion {
    std::uint8_t active;
    std::int32_t kind;
    float x, y, z;
    float spin;
    float life;
};

struct Prop {
    std::int32_t state;
    float x, y, z;
    float angle;
};

struct WreckPart {
    std::uint8_t active;
    std::int32_t kind;
    float x, y, z;
    float heading;
};

struct Debris {
    std::uint8_t active;
    std::int32_t kind;
    std::int32_t spinSense;
    float x, y, z;
    float direction;
    float spin;
    float speed;
    float turn;
    float climb;
};

// One triangle of the model file, 116 bytes, laid out as in the file.
struct ModelTriangle {
    std::int32_t present;
    float x[3], y[3], z[3];
    float red[3], green[3], blue[3], alpha[3];
    float s[3], t[3];
    std::int32_t texture;
};
static_assert(sizeof(ModelTriangle) == 116, "model records are 116 bytes");

constexpr int kTankCount = 12;
constexpr int kMuzzleSmokeCount = 36;
constexpr int kExplosionCount = 96;
constexpr int kPropCount = 256;
constexpr int kWreckPartCount = 48;
constexpr int kDebrisCount = 240;
constexpr int kShellCount = 240;
constexpr int kModelTriangleCount = 420;
constexpr int kMeshTriangles = 21;
constexpr int kTextureSlots = 20;
constexpr int kTexelScratchSize = 16384;
constexpr int kHeatCells = 256;

struct ModelBuffer {
    ModelTriangle triangles[kModelTriangleCount];
};

struct WorldState {
    Tank tanks[kTankCount];
    MuzzleSmoke muzzleSmoke[kMuzzleSmokeCount];
    Explosion explosions[kExplosionCount];
    Prop props[kPropCount];
    WreckPart wreckParts[kWreckPartCount];
    Debris debris[kDebrisCount];
    Shell shells[kShellCount];
    ModelBuffer model;
    std::uint32_t textureSize[kTextureSlots];
    std::uint32_t textureAddress[kTextureSlots];
    GrTexInfo textureInfo[kTextureSlots];
    std::uint16_t texelScratch[kTexelScratchSize];
    std::uint8_t heatGrid[kHeatCells];
    std::uint8_t quitRequested;
    float cameraX, cameraY;
    float cameraZ;
    float cameraAngle;
    float wanderAngle;
    float cameraZoomSpeed;
    std::uint8_t firstFrame;
    std::uint8_t autoPilot1;
    std::uint8_t autoPilot2;
    std::uint8_t coopMode;
    std::int32_t frameCounter;
    float teamBalance;
    // State of the shared random generator: it decides the future as much as the tables do.
    std::uint32_t randomState;
};

extern WorldState world;

// The shared linear congruential generator: 0 .. 32767 per draw.
void srand(std::uint32_t seed);
int rand();

// Float-to-integer conversion truncating toward zero, defined for every input:
// out-of-range values clamp to the int32 range and NaN gives 0.
inline std::int32_t trunc32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

// The decimal constants the game uses for pi and pi/2.
constexpr double kPi = 3.141592654;
constexpr double kHalfPi = 1.570796327;

}  // namespace tb
