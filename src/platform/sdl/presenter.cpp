// The window, its renderer and the streaming texture the frames go through.
#include "platform/sdl/presenter.h"

#include <SDL2_gfxPrimitives.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/glide/softglide.h"

namespace platform::sdl {
namespace {

// Without a window manager a full-screen request changes nothing on an X server,
// while SDL already counts the window as the size of the screen, and draws for
// that size into the smaller window (cropped and shifted). The window system is
// asked here, through the Xlib that SDL has loaded, what size the window has,
// and told to give it the size SDL draws for. Leaving full screen, nothing gives
// the window its old size back, and SDL still counts it as the screen's: then
// the old size is asked for again through SDL.
struct X11Calls {
    using GetAttributes = int (*)(Display*, Window, XWindowAttributes*);
    using MoveResize = int (*)(Display*, Window, int, int, unsigned, unsigned);
    using Flush = int (*)(Display*);
    GetAttributes getAttributes = nullptr;
    MoveResize moveResize = nullptr;
    Flush flush = nullptr;
};

const X11Calls& x11() {
    static const X11Calls calls = [] {
        X11Calls c;
        if (void* lib = SDL_LoadObject("libX11.so.6")) {
            c.getAttributes = reinterpret_cast<X11Calls::GetAttributes>(SDL_LoadFunction(lib, "XGetWindowAttributes"));
            c.moveResize = reinterpret_cast<X11Calls::MoveResize>(SDL_LoadFunction(lib, "XMoveResizeWindow"));
            c.flush = reinterpret_cast<X11Calls::Flush>(SDL_LoadFunction(lib, "XFlush"));
        }
        return c;
    }();
    return calls;
}

// Coverage of a pixel centre by the icon's shapes, in the 64-unit square of the SVG.
bool inRoundedRect(double x, double y, double left, double top, double w, double h, double r) {
    if (x < left || y < top || x > left + w || y > top + h) return false;
    const double cx = std::clamp(x, left + r, left + w - r), cy = std::clamp(y, top + r, top + h - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

}  // namespace

void drawIcon(std::uint32_t* pixels, int size) {
    const double kBarrel = 35 * 3.141592653589793 / 180;
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            // Four samples a pixel, averaged, for smooth edges at small sizes.
            double r = 0, g = 0, b = 0, a = 0;
            for (int s = 0; s < 4; ++s) {
                const double x = (px + 0.25 + 0.5 * (s & 1)) * 64.0 / size,
                             y = (py + 0.25 + 0.5 * (s >> 1)) * 64.0 / size;
                // The barrel in the turret's frame: rotated back about the turret's centre.
                const double bx = 32 + (x - 32) * std::cos(kBarrel) + (y - 34) * std::sin(kBarrel);
                const double by = 34 - (x - 32) * std::sin(kBarrel) + (y - 34) * std::cos(kBarrel);
                std::uint32_t c = 0;
                if (inRoundedRect(x, y, 0, 0, 64, 64, 8)) c = 0xFF2D3A1F;
                if (inRoundedRect(x, y, 16, 8, 8, 48, 2) || inRoundedRect(x, y, 40, 8, 8, 48, 2)) c = 0xFF1B1B1B;
                if (inRoundedRect(x, y, 22, 12, 20, 40, 3)) c = 0xFF6F8F3A;
                if ((x - 32) * (x - 32) + (y - 34) * (y - 34) <= 64 || (bx >= 30 && bx <= 34 && by >= 6 && by <= 34))
                    c = 0xFF88AA48;
                if ((x - 52) * (x - 52) + (y - 12) * (y - 12) <= 25) c = 0xFFF0A020;
                r += (c >> 16) & 0xFF, g += (c >> 8) & 0xFF, b += c & 0xFF, a += c >> 24;
            }
            pixels[py * size + px] = std::uint32_t(a / 4) << 24 | std::uint32_t(r / 4) << 16 |
                                     std::uint32_t(g / 4) << 8 | std::uint32_t(b / 4);
        }
}

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
    windowed_.w = w, windowed_.h = h;
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow(options.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (!window_) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window_, kScreenWidth / 4, kScreenHeight / 4);
    std::vector<std::uint32_t> icon(64 * 64);
    drawIcon(icon.data(), 64);
    if (SDL_Surface* surface =
            SDL_CreateRGBSurfaceWithFormatFrom(icon.data(), 64, 64, 32, 64 * 4, SDL_PIXELFORMAT_ARGB8888)) {
        SDL_SetWindowIcon(window_, surface);
        SDL_FreeSurface(surface);
    }

    // The clock paces the game, not the display's retrace: no vsync.
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        error = std::string("cannot create a renderer: ") + SDL_GetError();
        return false;
    }
    // The picture at the size it is rendered (the game's 640 x 480 times the scale).
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 softglide::frameWidth(), softglide::frameHeight());
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

void Presenter::present(const std::uint32_t* pixels, const Overlay& overlay) {
    const int frameW = softglide::frameWidth(), frameH = softglide::frameHeight();
    if (!renderer_) return;
    // Half a second after a switch the window system has had its chance to follow.
    if (++presentsSinceSwitch_ == 30) matchWindowSystem();
    SDL_UpdateTexture(texture_, nullptr, pixels, frameW * int(sizeof(std::uint32_t)));
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    Rect r = letterbox(outW, outH, frameW, frameH, integerScale_);
    SDL_Rect dst{r.x, r.y, r.w, r.h};
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
    drawOverlay(r, overlay);
    SDL_RenderPresent(renderer_);
}

namespace {

// Text in SDL2_gfx's 8 x 8 font, `scale` times larger, each line centred on
// `centre` (or left-aligned at x when centre is negative).
void drawText(SDL_Renderer* renderer, const std::vector<std::string>& lines, int x, int y, int centre, int scale) {
    SDL_RenderSetScale(renderer, float(scale), float(scale));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int width = int(lines[i].size()) * 8 * scale;
        const int left = centre >= 0 ? centre - width / 2 : x;
        stringRGBA(renderer, Sint16(left / scale), Sint16((y + int(i) * 12 * scale) / scale), lines[i].c_str(), 240,
                   240, 240, 255);
    }
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
}

// The text's lines (split at '\n'), each broken at spaces to at most `columns` letters.
std::vector<std::string> splitLines(const std::string& text, std::size_t columns) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        while (line.size() > columns) {
            std::size_t cut = line.rfind(' ', columns);
            if (cut == std::string::npos || cut == 0) cut = columns;
            lines.push_back(line.substr(0, cut));
            line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

// Paused: the picture at half brightness. Volume: a bar of ten steps at the
// bottom left, crossed out when muted. A message in a dark band across the
// middle, figures at the top left.
void Presenter::drawOverlay(const Rect& picture, const Overlay& overlay) {
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
    if (overlay.dimmed) {
        const SDL_Rect all{picture.x, picture.y, picture.w, picture.h};
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 128);
        SDL_RenderFillRect(renderer_, &all);
    }
    if (overlay.volume >= 0) {
        const int unit = std::max(1, picture.h / 120);  // 4 pixels at 480 lines
        const int x0 = picture.x + 4 * unit, y0 = picture.y + picture.h - 10 * unit;
        const SDL_Rect back{x0 - unit, y0 - unit, 10 * 4 * unit + unit, 6 * unit};
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 160);
        SDL_RenderFillRect(renderer_, &back);
        for (int step = 0; step < 10; ++step) {
            const bool lit = overlay.volume >= (step + 1) * 10 || (step == 0 && overlay.volume > 0);
            const SDL_Rect cell{x0 + step * 4 * unit, y0, 3 * unit, 4 * unit};
            if (overlay.muted)
                SDL_SetRenderDrawColor(renderer_, 120, 40, 40, 255);
            else if (lit)
                SDL_SetRenderDrawColor(renderer_, 240, 200, 60, 255);
            else
                SDL_SetRenderDrawColor(renderer_, 70, 70, 70, 255);
            SDL_RenderFillRect(renderer_, &cell);
        }
        if (overlay.muted) {
            SDL_SetRenderDrawColor(renderer_, 240, 60, 60, 255);
            for (int t = 0; t < unit; ++t)
                SDL_RenderDrawLine(renderer_, x0, y0 + 4 * unit - 1 - t, x0 + 40 * unit - unit, y0 - t);
        }
    }
    const int scale = std::max(1, picture.h / 240);  // 16-pixel letters at 480 lines
    if (!overlay.message.empty()) {
        const std::vector<std::string> lines =
            splitLines(overlay.message, std::size_t(std::max(1, picture.w / (8 * scale) - 2)));
        const int height = (int(lines.size()) * 12 + 8) * scale;
        const SDL_Rect band{picture.x, picture.y + (picture.h - height) / 2, picture.w, height};
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 190);
        SDL_RenderFillRect(renderer_, &band);
        drawText(renderer_, lines, 0, band.y + 6 * scale, picture.x + picture.w / 2, scale);
    }
    if (!overlay.corner.empty()) {
        const int x = picture.x + 4 * scale, y = picture.y + 4 * scale;
        const SDL_Rect back{x - 2 * scale, y - 2 * scale, (int(overlay.corner.size()) * 8 + 4) * scale, 12 * scale};
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 160);
        SDL_RenderFillRect(renderer_, &back);
        drawText(renderer_, {overlay.corner}, x, y, -1, scale);
    }
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
}

void Presenter::matchWindowSystem() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    const X11Calls& x = x11();
    if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11 || !x.getAttributes || !x.moveResize ||
        !x.flush)
        return;
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    XWindowAttributes actual{};
    if (!x.getAttributes(info.info.x11.display, info.info.x11.window, &actual)) return;
    SDL_DisplayMode screen{};
    if (!fullscreen_ && SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(window_), &screen) == 0 &&
        actual.width == screen.w && actual.height == screen.h && (windowed_.w != screen.w || windowed_.h != screen.h)) {
        SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
        SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
        return;
    }
    if (actual.width == w && actual.height == h) return;
    int left = 0, top = 0;
    if (!fullscreen_) SDL_GetWindowPosition(window_, &left, &top);
    x.moveResize(info.info.x11.display, info.info.x11.window, left, top, unsigned(w), unsigned(h));
    x.flush(info.info.x11.display);
}

void Presenter::toggleFullscreen() {
    if (!window_) return;
    bool want = !fullscreen_;
    if (want) {
        SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
        SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
    }
    if (SDL_SetWindowFullscreen(window_, want ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0) fullscreen_ = want;
    presentsSinceSwitch_ = 0;
    updatePointer();
}

void Presenter::updatePointer() { SDL_ShowCursor(fullscreen_ ? SDL_DISABLE : SDL_ENABLE); }

std::string Presenter::rendererName() const {
    SDL_RendererInfo info;
    if (renderer_ && SDL_GetRendererInfo(renderer_, &info) == 0 && info.name) return info.name;
    return "none";
}

}  // namespace platform::sdl
