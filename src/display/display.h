// Display and assets: Glide set-up, texture building and download, model loading.
#pragma once

namespace tb {

void initDisplay();
void buildTextures();
// The two slots read from files (2 from "tex.bmp", 6 from "tex2.bmp"), each
// built and downloaded after the slot before it, as buildTextures does.
void buildTexBitmap();
void buildTex2Bitmap();
void loadModel();

}  // namespace tb
