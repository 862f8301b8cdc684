// The desktop keyboard: SDL key events latched per virtual key, read the way the
// game reads keys ("pressed since the previous query of this key?").
#pragma once

#include <SDL.h>

#include <array>

#include "platform/keyboard.h"
#include "platform/sdl/keymap.h"

namespace platform::sdl {

// The latch itself, free of SDL: one flag per virtual-key code.
class KeyLatch {
public:
    void press(int virtualKey);
    // Reports a latched press once and forgets it.
    bool take(int virtualKey);
    void clear() { latched_.fill(false); }

private:
    std::array<bool, 256> latched_{};
};

// What an event means beyond the game's keys.
// Pause to OnlineFigures follow the order of the Commands (keymap.h).
enum class EventAction {
    None,
    ToggleFullscreen,
    Quit,
    Hidden,
    Shown,
    Pause,
    Screenshot,
    VolumeDown,
    VolumeUp,
    Mute,
    OnlineFigures
};

class DesktopKeyboard : public platform::Keyboard {
public:
    // Feeds one SDL event. A key press counts once (repeats do not), only while the
    // window has focus and the game is not paused (Escape aside); losing focus
    // forgets what was pressed. Closing the window is an Escape press and a Quit,
    // as is Escape while paused. The front end's own keys (keymap.h) come back as their action. Alt+Enter is the
    // full-screen switch, not an Enter press.
    EventAction handleEvent(const SDL_Event& event);
    // A game key pressed on a pad: counts like a key, and like one not while paused.
    void pressFromPad(int virtualKey) {
        if (!paused_) latch_.press(virtualKey);
    }
    bool pressedSinceLastQuery(int virtualKey) override { return latch_.take(virtualKey); }
    bool focused() const { return focused_; }
    void setBindings(const KeyBindings& bindings) { bindings_ = bindings; }
    void setPaused(bool paused) { paused_ = paused; }

private:
    KeyLatch latch_;
    KeyBindings bindings_;
    bool focused_ = true;
    bool paused_ = false;
};

}  // namespace platform::sdl
