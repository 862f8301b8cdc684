// The software Glide's answer to whether frames are wanted: its raster switch.
#include "platform/video.h"

#include "softglide.h"

namespace platform {

bool pixelsWanted() { return softglide::rasterEnabled(); }

}  // namespace platform
