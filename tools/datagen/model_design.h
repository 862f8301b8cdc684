// The tank model as designed: every mesh described in plan view with its paint,
// texture and texture coordinates, turned into the 420 records of "Tank.ddo".
#pragma once

#include <array>
#include <vector>

#include "core/world.h"

namespace datagen {

// Texture slots the meshes draw with.
enum Tex : int {
    kGroundNoise = 0,  // opaque grey noise, 64 x 64
    kStripes = 1,      // white / transparent stripes, 16 x 4, scrolled by the phase
    kPanel = 2,        // "tex.bmp": grey panel atlas, 256 x 64
    kHaze = 3,         // half-transparent grey noise
    kFaintSpot = 4,    // white, soft round alpha up to 42
    kSpot = 5,         // white, soft round alpha up to 196
    kColour = 6,       // "tex2.bmp": fire, foliage, lamp, plain white
};

// One corner: model position (forward is -y, x across, z is height in depth
// units) and texture coordinates in Glide units.
struct Corner {
    float x, y, z;
    float s, t;
};

// What a triangle looks like: the colour it should show on a white texel, its
// vertex alpha (0 = opaque) and its texture. The file stores 255 - paint,
// because the display subtracts the vertex colour from the texture.
struct Paint {
    float r, g, b;
    float alpha = 0;
    int texture = kPanel;
    bool lit = false;  // shaded by the fixed model light according to the face's slope
};

struct Face {
    Paint paint;
    std::array<Corner, 3> corner;
};

using Mesh = std::vector<Face>;

// Mesh numbers, as the game draws them.
enum MeshId : int {
    kHull = 0,
    kTrack,
    kTurret,
    kMarker,
    kShell,
    kHangar,
    kShellGlow,
    kMuzzleSmoke,
    kMarkingLong,
    kMarkingCross,
    kProp,
    kBigExplosion,
    kSmallExplosion,
    kDebrisPlate,
    kDebrisWheel,
    kDebrisLinks,
    kMeshesUsed
};

// The design of mesh m (0..15), triangles in drawing order.
Mesh designMesh(int m);

// Signed screen area as the display's culling computes it, taken in model plan
// view (the camera only rotates and scales, so the sign carries over). Faces
// with a positive area are culled.
double cullArea(const Face& f);

// A float whose bytes hold 0x0D or 0x1A would be changed by the text-mode read:
// the nearest float, counted in units in the last place, whose bytes are clear.
float fileSafe(float v);

// The 420 records exactly as the game must load them: faces facing the camera,
// colours converted for subtraction, every float free of 0x0D and 0x1A bytes,
// meshes 16..19 and unused slots empty.
std::vector<tb::ModelTriangle> intendedModel();

}  // namespace datagen
