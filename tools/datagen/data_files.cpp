// The model file writer and the list of all five files.
#include "data_files.h"

#include <bit>
#include <cstring>

#include "model_design.h"

namespace datagen {

static_assert(std::endian::native == std::endian::little, "records are written as they lie in memory");

Bytes modelFile(const std::vector<tb::ModelTriangle>& records) {
    Bytes raw(records.size() * sizeof(tb::ModelTriangle));
    if (!records.empty()) std::memcpy(raw.data(), records.data(), raw.size());
    return textModeWrite(raw);
}

std::vector<DataFile> allDataFiles() {
    return {
        {"Tank.ddo", modelFile(intendedModel())}, {"tex.bmp", panelBitmap()},  {"tex2.bmp", colourBitmap()},
        {"expl.wav", explosionSound()},           {"bumm.wav", cannonSound()},
    };
}

}  // namespace datagen
