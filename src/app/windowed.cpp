// The game in a desktop window (front end to come).
#include "app/windowed.h"

#include <cstdio>

namespace tb {
int runWindowed(const Options&, const char*) {
    std::fprintf(stderr, "tankbattle: the desktop front end is not built yet; use --headless\n");
    return 1;
}
}  // namespace tb
