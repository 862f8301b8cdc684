// The game as a whole: start-up, one pass of the frame loop, and shutdown.
#pragma once

namespace tb {

// Start-up in its fixed order: display, textures and model, then the world's
// tanks, props and start values.
void initGame();

// One pass: controls, world update, drawing (ending with swap and clear), then firstFrame cleared.
void runPass();

// Closes the display opened by initGame.
void shutdownDisplay();

}  // namespace tb
