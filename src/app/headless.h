// The game without window, sound or pacing: replays in, state dumps and a screenshot out.
#pragma once

#include "app/options.h"

namespace tb {

// Runs the frame loop for options.frames passes (fewer if Escape ends it).
// The data directory is already set and checked. Returns the process exit status.
int runHeadless(const Options& options);

}  // namespace tb
