// Coverage: which pixels a snapped triangle covers, row by row, with the
// top-left rule (a pixel centre on a left or top edge belongs to the
// triangle, one on a right or bottom edge does not).
#pragma once

#include <cstdint>

#include "softglide.h"

namespace softglide::detail {

// Rows of a band at scale 1; a band is this many rows times the scale, so
// that bands hold the same part of the picture at every scale.
constexpr int kBandRows = 16;
constexpr int kMaxBandRows = kBandRows * kMaxScale;

// Vertex positions in 1/16 of a rendered pixel, and twice the signed area
// they span in those units, in the order passed: coverage takes the sides of
// the edges from its sign, set-up the planes' denominator from its size.
struct Snapped {
    std::int64_t X[3], Y[3];
    std::int64_t area;
};

// The vertices sorted by y for the scan: top, middle, bottom (ties keep the
// order passed). The long edge (top to bottom) is on the left when the
// middle vertex lies to its right.
struct ScanOrder {
    std::uint8_t top = 0, mid = 1, bot = 2;
    bool longLeft = false;
};
ScanOrder scanOrder(const Snapped& s);

// Pixels [left, right) of row y.
struct Row {
    int y, left, right;
};

// Twice the signed area of a snapped triangle, in the order passed.
inline std::int64_t snappedArea(const std::int64_t* X, const std::int64_t* Y) {
    return (X[0] - X[1]) * (Y[1] - Y[2]) - (X[1] - X[2]) * (Y[0] - Y[1]);
}

// First pixel row whose centre lies at or below y (1/16 pixel): ceil((y - 8) / 16).
inline std::int64_t rowBelow(std::int64_t y) { return (y - 8 + 15) >> 4; }

// The same row clamped to 0..height.
inline int firstRow(std::int64_t y, int height) {
    const std::int64_t r = rowBelow(y);
    return int(r < 0 ? 0 : (r > height ? height : r));
}

// The non-empty rows of the triangle among rows [rowBegin, rowEnd), their
// columns clamped to 0..width; returns how many were written to `rows`.
int coveredRows(const Snapped& s, const ScanOrder& o, int rowBegin, int rowEnd, int width, Row* rows);

}  // namespace softglide::detail
