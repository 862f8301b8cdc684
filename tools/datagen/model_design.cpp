// Turns the mesh designs into the model file's records: camera-facing windings,
// subtractive colours, and floats that survive the game's text-mode reading.
#include "model_design.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "data_files.h"

namespace datagen {

float fileSafe(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    if (wordIsFileSafe(bits)) return v;
    for (std::uint32_t k = 1; k < 0x1000000; ++k) {
        for (std::uint32_t candidate : {bits - k, bits + k}) {
            if (!wordIsFileSafe(candidate)) continue;
            float out;
            std::memcpy(&out, &candidate, 4);
            if (std::isfinite(out)) return out;
        }
    }
    throw std::logic_error("no file-safe neighbour for a model value");
}

namespace {

float colourFor(float paint) {
    float v = std::round(255.0f - paint);
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

tb::ModelTriangle record(Face f) {
    // The display culls faces whose screen area is positive. Swapping corners 0
    // and 1 keeps corner 2 in place, which the team marker relies on.
    if (cullArea(f) > 0) std::swap(f.corner[0], f.corner[1]);
    tb::ModelTriangle r{};
    r.present = 1;
    r.texture = f.paint.texture;
    for (int i = 0; i < 3; ++i) {
        const Corner& c = f.corner[i];
        r.x[i] = c.x;
        r.y[i] = c.y;
        r.z[i] = c.z;
        r.s[i] = c.s;
        r.t[i] = c.t;
        r.red[i] = colourFor(f.paint.r);
        r.green[i] = colourFor(f.paint.g);
        r.blue[i] = colourFor(f.paint.b);
        r.alpha[i] = f.paint.alpha;
    }
    float* fields[] = {r.x, r.y, r.z, r.red, r.green, r.blue, r.alpha, r.s, r.t};
    for (float* field : fields)
        for (int i = 0; i < 3; ++i) field[i] = fileSafe(field[i]);
    return r;
}

}  // namespace

double cullArea(const Face& f) {
    const Corner* c = f.corner.data();
    return (double(c[0].x) - c[1].x) * (double(c[1].y) - c[2].y) -
           (double(c[1].x) - c[2].x) * (double(c[0].y) - c[1].y);
}

std::vector<tb::ModelTriangle> intendedModel() {
    std::vector<tb::ModelTriangle> model(tb::kModelTriangleCount, tb::ModelTriangle{});
    for (int m = 0; m < kMeshesUsed; ++m) {
        Mesh mesh = designMesh(m);
        if (mesh.size() > std::size_t(tb::kMeshTriangles))
            throw std::length_error("mesh " + std::to_string(m) + " has more than 21 triangles");
        for (std::size_t i = 0; i < mesh.size(); ++i) {
            if (cullArea(mesh[i]) == 0)
                throw std::logic_error("mesh " + std::to_string(m) + " has a degenerate triangle " + std::to_string(i));
            model[m * tb::kMeshTriangles + i] = record(mesh[i]);
        }
    }
    return model;
}

}  // namespace datagen
