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

// What the platform draws over the game's picture (never into it, so screenshots
// and replays do not see it).
struct Overlay {
    bool dimmed = false;  // paused
    int volume = -1;      // 0..100: the volume bar is shown; -1: not shown
    bool muted = false;   // the bar is shown crossed out
    std::string message;  // lines (split at '\n') in a band across the middle; none when empty
    std::string corner;   // one line at the top left (figures); none when empty
};

// The window icon, drawn in code after the installed tankbattle.svg: `size` x
// `size` pixels of 0xAARRGGBB, rows top first.
void drawIcon(std::uint32_t* pixels, int size);

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
    // Shows one frame of 0xAARRGGBB pixels, kScreenWidth x kScreenHeight, with an overlay.
    void present(const std::uint32_t* pixels, const Overlay& overlay = {});
    void toggleFullscreen();
    bool fullscreen() const { return fullscreen_; }
    // The renderer SDL picked ("opengl", "software", ...).
    std::string rendererName() const;
    SDL_Window* window() const { return window_; }

private:
    void updatePointer();
    void drawOverlay(const Rect& picture, const Overlay& overlay);
    void matchWindowSystem();

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool fullscreen_ = true;
    bool integerScale_ = false;
    int presentsSinceSwitch_ = 0;  // counts to the check that the window system followed a switch
    Rect windowed_{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 0, 0};  // the window to go back to
};

}  // namespace platform::sdl
