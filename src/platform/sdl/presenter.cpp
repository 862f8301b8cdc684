// The window, its renderer and the streaming texture the frames go through.
#include "platform/sdl/presenter.h"

#include <algorithm>

#include "platform/glide/softglide.h"

namespace platform::sdl {

Rect letterbox(int outputW, int outputH, int pictureW, int pictureH, bool integerScale) {
    if (outputW <= 0 || outputH <= 0 || pictureW <= 0 || pictureH <= 0) return {0, 0, 0, 0};
    int w, h;
    int whole = std::min(outputW / pictureW, outputH / pictureH);
    if (integerScale && whole >= 1) {
        w = pictureW * whole;
        h = pictureH * whole;
    } else if (std::int64_t(outputW) * pictureH <= std::int64_t(outputH) * pictureW) {
        // Narrower than the picture: full width, bars above and below.
        w = outputW;
        h = int(std::int64_t(outputW) * pictureH / pictureW);
    } else {
        h = outputH;
        w = int(std::int64_t(outputH) * pictureW / pictureH);
    }
    return {(outputW - w) / 2, (outputH - h) / 2, w, h};
}

Presenter::~Presenter() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
}

bool Presenter::open(const PresenterOptions& options, std::string& error) {
    using softglide::kScreenHeight;
    using softglide::kScreenWidth;
    fullscreen_ = options.fullscreen;
    integerScale_ = options.integerScale;

    // A window twice the picture's size when the desktop has room, else the picture's size.
    int w = kScreenWidth, h = kScreenHeight;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w >= 2 * kScreenWidth + 64 &&
        usable.h >= 2 * kScreenHeight + 64) {
        w *= 2;
        h *= 2;
    }
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow(options.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (!window_) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window_, kScreenWidth / 4, kScreenHeight / 4);

    // The clock paces the game, not the display's retrace: no vsync.
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        error = std::string("cannot create a renderer: ") + SDL_GetError();
        return false;
    }
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                 kScreenHeight);
    if (!texture_) {
        error = std::string("cannot create the frame texture: ") + SDL_GetError();
        return false;
    }
    // Smooth scaling filters the picture; whole-step scaling keeps its pixels sharp.
    SDL_SetTextureScaleMode(texture_, integerScale_ ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    updatePointer();
    return true;
}

void Presenter::present(const std::uint32_t* pixels) {
    using softglide::kScreenHeight;
    using softglide::kScreenWidth;
    if (!renderer_) return;
    SDL_UpdateTexture(texture_, nullptr, pixels, kScreenWidth * int(sizeof(std::uint32_t)));
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    Rect r = letterbox(outW, outH, kScreenWidth, kScreenHeight, integerScale_);
    SDL_Rect dst{r.x, r.y, r.w, r.h};
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
    SDL_RenderPresent(renderer_);
}

void Presenter::toggleFullscreen() {
    if (!window_) return;
    bool want = !fullscreen_;
    if (SDL_SetWindowFullscreen(window_, want ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0) fullscreen_ = want;
    updatePointer();
}

void Presenter::updatePointer() { SDL_ShowCursor(fullscreen_ ? SDL_DISABLE : SDL_ENABLE); }

std::string Presenter::rendererName() const {
    SDL_RendererInfo info;
    if (renderer_ && SDL_GetRendererInfo(renderer_, &info) == 0 && info.name) return info.name;
    return "none";
}

}  // namespace platform::sdl
