// The heat grid's cell arithmetic: 16 x 16 cells over [-700, 700)^2. Because the
// scale is the float just below 1/1400, a point on a cell boundary falls into the lower cell.
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {

std::int32_t heatGridLine(double v) { return trunc32((v + 700.0) * 16.0 * kHeatScale); }

int heatCellIndex(double x, double y) {
    if (!(x >= -700.0 && x < 700.0 && y >= -700.0 && y < 700.0)) return -1;
    return heatGridLine(x) * 16 + heatGridLine(y);
}

}  // namespace tb
