// Texture memory of TMU 0 as the pipeline reads it: the downloaded words,
// the expanded copies of the downloads still intact, and the view of a
// selected texture that triangles record.
#pragma once

#include <cstdint>
#include <vector>

#include "glide.h"

namespace softglide::detail {

struct Context;

// Bytes of texture memory on TMU 0; addresses run from 0 to this value.
constexpr FxU32 kTexMemBytes = 2u << 20;
constexpr FxU32 kTexMemTexels = kTexMemBytes / 2;
// Glide places textures on 8-byte boundaries; sizes are rounded up to match.
constexpr FxU32 kTexAlign = 8;

// A selected texture: texels expanded to 0xAARRGGBB, row by row (`texels`),
// and the same with two extra columns and two extra rows repeating the first
// ones (`padded`, rows of `stride` = width + 2, followed by kPaddedSlack
// elements), so that the second tap of a wrapped bilinear fetch is always
// the next column or row in memory. width and height are powers of two;
// texelsPerUnit converts Glide s/t units to texels (N / 256 with N the
// longer side); invWidth and invHeight are 1 / width and 1 / height, worked
// out once here rather than for every triangle. `opaque` says every texel
// has alpha 255.
constexpr int kPaddedSlack = 4;
struct TextureView {
    const std::uint32_t* texels = nullptr;
    const std::uint32_t* padded = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    double texelsPerUnit = 0.0;
    double invWidth = 0.0, invHeight = 0.0;
    bool opaque = false;
    bool valid() const { return texels != nullptr; }
    // The reciprocals follow from the sizes, so the comparison skips them.
    bool operator==(const TextureView& o) const {
        return texels == o.texels && padded == o.padded && width == o.width && height == o.height &&
               stride == o.stride && texelsPerUnit == o.texelsPerUnit && opaque == o.opaque;
    }
};

// One download: which texels it wrote, its largest level's shape and format,
// and that level expanded.
struct Region {
    FxU32 first = 0, count = 0;
    GrTextureFormat_t format = 0;
    int width = 0, height = 0;
    bool opaque = false;
    std::vector<std::uint32_t> texels;  // width x height
    std::vector<std::uint32_t> padded;  // (width + 2) x (height + 2), then kPaddedSlack
};

struct TextureMemory {
    std::vector<std::uint16_t> raw;  // allocated at the first download or selection
    std::vector<Region> regions;
    Region scratch;
};

FxU32 textureMemRequired(FxU32 evenOdd, const GrTexInfo* info);
// Downloads and selections act on the context's texture memory; both may
// first draw what is recorded, which may read the texels they replace.
void downloadMipMap(Context& ctx, FxU32 startAddress, FxU32 evenOdd, const GrTexInfo* info);
TextureView selectTexture(Context& ctx, FxU32 startAddress, FxU32 evenOdd, const GrTexInfo* info);
void resetTextureMemory(Context& ctx);

// Expands one stored 16-bit texel of the given format to 0xAARRGGBB;
// 0 for a format this Glide does not know.
std::uint32_t expandTexel(std::uint16_t texel, GrTextureFormat_t format);

}  // namespace softglide::detail
