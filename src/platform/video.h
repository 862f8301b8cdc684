// Video as the game sees it: whether the frames it draws are wanted at all.
// The front end decides; the game's only use is to skip work whose sole effect
// would be pixels, keeping every effect of drawing on the world.
#pragma once

namespace platform {

// False in a headless run without pixels: triangles are accepted and ignored.
bool pixelsWanted();

}  // namespace platform
