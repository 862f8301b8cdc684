// The frame loop's pass and the display shutdown.
#pragma once

namespace tb {

// One pass: controls, world update, drawing (ending with swap and clear), then firstFrame cleared.
void runPass();

// Closes the display opened by initGame.
void shutdownDisplay();

}  // namespace tb
