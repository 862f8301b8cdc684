// Texture memory of TMU 0: sizes, downloads and texture selection. Texels are
// kept twice: as the 16-bit words the game downloaded, and, for each download
// still intact, its largest level expanded to 8 bits a channel in the layout
// the rasteriser reads, so that drawing never decodes a texel. Selecting
// memory in another shape or format than it was written with (never done by
// the game) decodes the raw words into a scratch copy.
#include "texmem.h"

#include <algorithm>

#include "context.h"

namespace softglide::detail {
namespace {

struct Level {
    int width = 0, height = 0;
};

bool validLod(GrLOD_t lod) { return lod >= GR_LOD_256 && lod <= GR_LOD_1; }

// Width and height of level `lod` for an aspect ratio; {0,0} when invalid.
Level levelSize(GrLOD_t lod, GrAspectRatio_t aspect) {
    if (!validLod(lod) || aspect < GR_ASPECT_8x1 || aspect > GR_ASPECT_1x8) return {};
    const int longSide = 256 >> lod;
    const int shift = aspect <= GR_ASPECT_1x1 ? GR_ASPECT_1x1 - aspect : aspect - GR_ASPECT_1x1;
    const int shortSide = std::max(1, longSide >> shift);
    return aspect <= GR_ASPECT_1x1 ? Level{longSide, shortSide} : Level{shortSide, longSide};
}

bool validFormat(GrTextureFormat_t f) {
    return f == GR_TEXFMT_ARGB_1555 || f == GR_TEXFMT_ARGB_4444 || f == GR_TEXFMT_ARGB_8332;
}

bool validInfo(const GrTexInfo* info) {
    return info && validLod(info->largeLod) && validLod(info->smallLod) && info->smallLod >= info->largeLod &&
           levelSize(info->largeLod, info->aspectRatio).width > 0 && validFormat(info->format);
}

// Whether the even/odd mask keeps a level (levels are numbered by LOD).
bool levelKept(FxU32 evenOdd, GrLOD_t lod) {
    return (lod % 2 == 0) ? (evenOdd & GR_MIPMAPLEVELMASK_EVEN) != 0 : (evenOdd & GR_MIPMAPLEVELMASK_ODD) != 0;
}

FxU32 alignUp(FxU32 bytes) { return (bytes + kTexAlign - 1) / kTexAlign * kTexAlign; }

// The raw words, allocated when first needed.
void ensureRaw(TextureMemory& m) {
    if (m.raw.empty()) m.raw.assign(kTexMemTexels, 0);
}

// Expands a level of stored words into the rasteriser's padded layout.
void expandLevel(const std::uint16_t* words, int w, int h, GrTextureFormat_t format, Region& out) {
    out.width = w;
    out.height = h;
    out.format = format;
    out.texels.resize(std::size_t(w) * std::size_t(h));
    out.padded.assign(std::size_t(w + 2) * std::size_t(h + 2) + kPaddedSlack, 0);
    out.opaque = true;
    for (std::size_t i = 0; i < out.texels.size(); ++i) {
        out.texels[i] = expandTexel(words[i], format);
        out.opaque = out.opaque && (out.texels[i] >> 24) == 255;
    }
    for (int y = 0; y < h + 2; ++y) {
        const std::uint32_t* src = out.texels.data() + std::size_t(y % h) * std::size_t(w);
        std::uint32_t* dst = out.padded.data() + std::size_t(y) * std::size_t(w + 2);
        for (int x = 0; x < w + 2; ++x) dst[x] = src[x % w];
    }
}

// More downloads than this kept expanded and the oldest are dropped;
// selecting one then takes the decoding path, which gives the same texels.
constexpr std::size_t kMaxRegions = 64;

}  // namespace

std::uint32_t expandTexel(std::uint16_t v, GrTextureFormat_t format) {
    std::uint32_t a = 0, r = 0, g = 0, b = 0;
    switch (format) {
        case GR_TEXFMT_ARGB_1555: {
            const std::uint32_t r5 = (v >> 10) & 31, g5 = (v >> 5) & 31, b5 = v & 31;
            a = (v & 0x8000) ? 255 : 0;
            r = (r5 << 3) | (r5 >> 2);
            g = (g5 << 3) | (g5 >> 2);
            b = (b5 << 3) | (b5 >> 2);
            break;
        }
        case GR_TEXFMT_ARGB_4444:
            a = ((v >> 12) & 15) * 17;
            r = ((v >> 8) & 15) * 17;
            g = ((v >> 4) & 15) * 17;
            b = (v & 15) * 17;
            break;
        case GR_TEXFMT_ARGB_8332: {
            const std::uint32_t r3 = (v >> 5) & 7, g3 = (v >> 2) & 7;
            a = v >> 8;
            r = (r3 << 5) | (r3 << 2) | (r3 >> 1);
            g = (g3 << 5) | (g3 << 2) | (g3 >> 1);
            b = (v & 3) * 0x55;
            break;
        }
        default: return 0;
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

FxU32 textureMemRequired(FxU32 evenOdd, const GrTexInfo* info) {
    if (!validInfo(info)) return 0;
    FxU32 bytes = 0;
    for (GrLOD_t lod = info->largeLod; lod <= info->smallLod; ++lod) {
        if (!levelKept(evenOdd, lod)) continue;
        const Level l = levelSize(lod, info->aspectRatio);
        bytes += FxU32(l.width * l.height * 2);
    }
    return alignUp(bytes);
}

void downloadMipMap(Context& ctx, FxU32 startAddress, FxU32 evenOdd, const GrTexInfo* info) {
    if (!validInfo(info) || !info->data) return;
    const FxU32 bytes = textureMemRequired(evenOdd, info);
    if (bytes == 0 || startAddress % kTexAlign != 0 || startAddress > kTexMemBytes ||
        bytes > kTexMemBytes - startAddress)
        return;
    TextureMemory& m = ctx.textures;
    ensureRaw(m);
    const auto* src = static_cast<const std::uint16_t*>(info->data);
    const FxU32 first = startAddress / 2;
    FxU32 dst = first;
    for (GrLOD_t lod = info->largeLod; lod <= info->smallLod; ++lod) {
        const Level l = levelSize(lod, info->aspectRatio);
        const FxU32 n = FxU32(l.width * l.height);
        if (levelKept(evenOdd, lod)) {
            std::copy(src, src + n, m.raw.begin() + dst);
            dst += n;
        }
        src += n;
    }
    // Downloads this one overwrites are stale now.
    std::erase_if(m.regions, [&](const Region& r) { return r.first < dst && first < r.first + r.count; });
    if (!levelKept(evenOdd, info->largeLod)) return;
    if (m.regions.size() >= kMaxRegions) m.regions.erase(m.regions.begin());
    const Level top = levelSize(info->largeLod, info->aspectRatio);
    Region region;
    region.first = first;
    region.count = dst - first;
    expandLevel(m.raw.data() + first, top.width, top.height, info->format, region);
    m.regions.push_back(std::move(region));
}

TextureView selectTexture(Context& ctx, FxU32 startAddress, FxU32 evenOdd, const GrTexInfo* info) {
    TextureView view;
    if (!validInfo(info) || !levelKept(evenOdd, info->largeLod)) return view;
    const Level l = levelSize(info->largeLod, info->aspectRatio);
    const FxU32 count = FxU32(l.width * l.height);
    if (startAddress % kTexAlign != 0 || startAddress > kTexMemBytes || count * 2 > kTexMemBytes - startAddress)
        return view;
    TextureMemory& m = ctx.textures;
    ensureRaw(m);
    const FxU32 first = startAddress / 2;
    const Region* found = nullptr;
    for (const Region& r : m.regions) {
        if (r.first == first && r.format == info->format && r.width == l.width && r.height == l.height) found = &r;
    }
    if (!found) {
        ctx.bands.drawAll();  // recorded triangles may read the scratch copy
        expandLevel(m.raw.data() + first, l.width, l.height, info->format, m.scratch);
        found = &m.scratch;
    }
    view.texels = found->texels.data();
    view.padded = found->padded.data();
    view.width = l.width;
    view.height = l.height;
    view.stride = l.width + 2;
    view.texelsPerUnit = double(std::max(l.width, l.height)) / 256.0;
    view.invWidth = 1.0 / double(l.width);
    view.invHeight = 1.0 / double(l.height);
    view.opaque = found->opaque;
    return view;
}

void resetTextureMemory(Context& ctx) {
    TextureMemory& m = ctx.textures;
    ctx.bands.discard();
    m.regions.clear();
    std::fill(m.raw.begin(), m.raw.end(), 0);
}

}  // namespace softglide::detail

namespace softglide {
bool textureTexel(FxU32 startAddress, const GrTexInfo* info, int index, std::uint32_t& argb) {
    const detail::TextureView view =
        detail::selectTexture(detail::context(), startAddress, GR_MIPMAPLEVELMASK_BOTH, info);
    if (!view.valid() || index < 0 || index >= view.width * view.height) return false;
    argb = view.texels[index];
    return true;
}
std::uint32_t expandedTexel(std::uint16_t texel, GrTextureFormat_t format) {
    return detail::expandTexel(texel, format);
}
}  // namespace softglide
