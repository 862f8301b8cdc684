// Display and assets: Glide set-up, texture building and download, model loading.
#pragma once

namespace tb {

void initDisplay();
void buildTextures();
void loadModel();

}  // namespace tb
