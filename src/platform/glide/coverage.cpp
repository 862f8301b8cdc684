// Coverage by walking a triangle's edges row by row. Each edge's column is
// exact at every row (a quotient and remainder stepped without dividing), so
// a band of rows can start the walk anywhere and find the same pixels.
#include "coverage.h"

#include <algorithm>
#include <utility>

namespace softglide::detail {
namespace {

// floor(n / d) for d > 0 and |n| < 2^52. The quotient of the doubles (both
// exact) is within one of the true one; the remainder puts it right. Much
// quicker than a 64-bit integer division on most processors.
std::int64_t floorDiv(std::int64_t n, std::int64_t d) {
    std::int64_t q = std::int64_t(double(n) / double(d));
    const std::int64_t r = n - q * d;
    q -= r < 0;
    q += r >= d;
    return q;
}
std::int64_t ceilDiv(std::int64_t n, std::int64_t d) { return -floorDiv(-n, d); }

// A non-horizontal edge from (xa, ya) down to (xb, yb), in 1/16 pixel.
// Pixel px of row py is right of (or on) the edge when its centre
// px*16 + 8 >= the edge's x at y = py*16 + 8, i.e. px >= ceil(n / d) with
// n = xa*dy + (y - ya)*dx - 8*dy and d = 16*dy. Using the same rounding for
// left and right edges means a pixel on an edge belongs to the triangle on
// its right: left edges are drawn, right edges not.
struct EdgeWalk {
    std::int64_t column = 0;  // ceil(n / d)
    std::int64_t excess = 0;  // column * d - n, in [0, d)
    std::int64_t d = 1, stepColumns = 0, stepExcess = 0;

    EdgeWalk(std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb, int firstRow) {
        const std::int64_t dx = xb - xa, dy = yb - ya;
        d = 16 * dy;
        const std::int64_t n = xa * dy + (std::int64_t(firstRow) * 16 + 8 - ya) * dx - 8 * dy;
        column = ceilDiv(n, d);
        excess = column * d - n;
        // One row down adds 16*dx to n.
        stepColumns = floorDiv(16 * dx, d);
        stepExcess = 16 * dx - stepColumns * d;
    }
    int clampedColumn(int width) const { return int(std::clamp<std::int64_t>(column, 0, width)); }
    void nextRow() {
        excess -= stepExcess;
        const std::int64_t borrow = excess >> 63;  // -1 when it ran out, else 0
        excess += d & borrow;
        column += stepColumns - borrow;
    }
};

}  // namespace

ScanOrder scanOrder(const Snapped& s) {
    const std::int64_t* Y = s.Y;
    // Each vertex's y and its place as one key (y is far below 2^60), and
    // its rank among the keys: the vertices arrive in no order a branch
    // predictor could learn, so the sort is done without branches (and
    // without an array indexed by rank, whose loads would wait on its stores).
    const std::int64_t k0 = Y[0] * 4, k1 = Y[1] * 4 + 1, k2 = Y[2] * 4 + 2;
    const int rank1 = (k0 < k1) + (k2 < k1), rank2 = (k0 < k2) + (k1 < k2);
    const int top = (rank1 == 0) + 2 * (rank2 == 0), bot = (rank1 == 2) + 2 * (rank2 == 2);
    const int mid = 3 - top - bot;
    ScanOrder o;
    o.top = std::uint8_t(top);
    o.mid = std::uint8_t(mid);
    o.bot = std::uint8_t(bot);
    // The long edge is on the left when the vertices run clockwise on the
    // screen (y down) in scan order: the area's sign, turned over when the
    // scan order is an odd permutation of the order passed.
    const bool evenOrder = (mid - top + 3) % 3 == 1;
    o.longLeft = evenOrder ? s.area > 0 : s.area < 0;
    return o;
}

int coveredRows(const Snapped& s, const ScanOrder& o, int rowBegin, int rowEnd, int width, Row* rows) {
    const std::int64_t *X = s.X, *Y = s.Y;
    const int top = o.top, mid = o.mid, bot = o.bot;
    // The band's rows of the triangle, the middle vertex's kept within them
    // (which leaves the rows of the half it cuts off empty).
    const int rowTop = int(std::max<std::int64_t>(rowBelow(Y[top]), rowBegin));
    const int rowBot = int(std::min<std::int64_t>(rowBelow(Y[bot]), rowEnd));
    if (rowTop >= rowBot) return 0;  // also when the triangle has no height
    const int rowMid = int(std::clamp<std::int64_t>(rowBelow(Y[mid]), rowTop, rowBot));
    int count = 0;
    EdgeWalk longEdge(X[top], Y[top], X[bot], Y[bot], rowTop);
    for (int half = 0; half < 2; ++half) {
        const int from = half == 0 ? rowTop : rowMid, to = half == 0 ? rowMid : rowBot;
        if (from >= to) continue;
        EdgeWalk shortEdge =
            half == 0 ? EdgeWalk(X[top], Y[top], X[mid], Y[mid], from) : EdgeWalk(X[mid], Y[mid], X[bot], Y[bot], from);
        for (int py = from; py < to; ++py, longEdge.nextRow(), shortEdge.nextRow()) {
            const int longColumn = longEdge.clampedColumn(width), shortColumn = shortEdge.clampedColumn(width);
            const int left = o.longLeft ? longColumn : shortColumn, right = o.longLeft ? shortColumn : longColumn;
            rows[count] = Row{py, left, right};
            count += left < right;
        }
    }
    return count;
}

}  // namespace softglide::detail
