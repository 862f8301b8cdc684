// The game in a desktop window or full screen, with keyboard, sound and 60 Hz pacing.
#pragma once

#include "app/options.h"

namespace tb {

// Runs the game in a window until Escape, the window is closed or options.frames passes ran.
// The data directory is already set and checked. Returns the process exit status.
int runWindowed(const Options& options, const char* argv0);

}  // namespace tb
