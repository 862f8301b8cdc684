// The game's 640 x 480 picture in an SDL window: full screen on the desktop or a
// resizable window, letterboxed to keep its 4:3 shape, scaled smoothly or in
// whole steps.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace platform::sdl {

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect&) const = default;
};

// Where a picture of pictureW x pictureH goes in an output of outputW x outputH:
// as large as fits with the picture's shape kept, centred. With integerScale the
// size is a whole multiple of the picture's (as large as fits; when not even one
// fits, the smooth fit is used instead).
Rect letterbox(int outputW, int outputH, int pictureW, int pictureH, bool integerScale);

struct PresenterOptions {
    bool fullscreen = true;
    bool integerScale = false;
    const char* title = "tankbattle";
};

class Presenter {
public:
    Presenter() = default;
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    // Opens the window (video must be initialised); false with a reason in `error`.
    bool open(const PresenterOptions& options, std::string& error);
    // Shows one frame of 0xAARRGGBB pixels, kScreenWidth x kScreenHeight.
    void present(const std::uint32_t* pixels);
    void toggleFullscreen();
    bool fullscreen() const { return fullscreen_; }
    // The renderer SDL picked ("opengl", "software", ...).
    std::string rendererName() const;
    SDL_Window* window() const { return window_; }

private:
    void updatePointer();

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool fullscreen_ = true;
    bool integerScale_ = false;
};

}  // namespace platform::sdl
