// What the software Glide offers beyond the Glide 2.x calls: the finished
// frame for the presenter and for screenshots, the rendering scale and
// thread count, and a switch that skips rasterising (every call is still
// accepted) for fast headless runs.
#pragma once

#include <cstdint>

#include "glide.h"

namespace softglide {

// The screen as the game sees it; the pipeline renders it at frameWidth() x
// frameHeight(), kScreenWidth x kScreenHeight times the scale.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kMaxScale = 4;

// Renders at scale x 640 by scale x 480 pixels (1..kMaxScale, clamped); the
// buffers are made anew, black, with a far depth. Scale 1 is the default.
void setScale(int scale);
int scale();
int frameWidth();
int frameHeight();

// Draws with this many threads, the calling one included (0: one per core).
void setThreads(int threads);
int threads();

// Pixels are 0xAARRGGBB, row 0 at the top, frameWidth() pixels a row.
using SwapHandler = void (*)(const std::uint32_t* frontBuffer, void* user);

// Called by grBufferSwap with the frame that has just become visible.
void setSwapHandler(SwapHandler handler, void* user);

// The frame most recently made visible by grBufferSwap (all black before the first swap).
const std::uint32_t* frontBuffer();

// The frame being drawn (0xAARRGGBB) and the depth buffer (16 bits a pixel,
// 0xFFFF farthest), same layout; for tests and tools.
const std::uint32_t* backBuffer();
const std::uint16_t* depthBuffer();

// Texel `index` (row by row) of the largest level of the texture at
// startAddress with this shape and format, as the pipeline expanded it
// (0xAARRGGBB); false when no such texture or index can be selected.
bool textureTexel(FxU32 startAddress, const GrTexInfo* info, int index, std::uint32_t& argb);

// A stored 16-bit texel of a format expanded to 0xAARRGGBB as the pipeline
// does it (0 for a format it does not know).
std::uint32_t expandedTexel(std::uint16_t texel, GrTextureFormat_t format);

// When off, triangles and clears are accepted and ignored; state calls still apply.
void setRasterEnabled(bool enabled);
bool rasterEnabled();

}  // namespace softglide
