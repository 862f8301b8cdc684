// The desktop keyboard: SDL key events latched per virtual key, read the way the
// game reads keys ("pressed since the previous query of this key?").
#pragma once

#include <SDL.h>

#include <array>

#include "platform/keyboard.h"

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
enum class EventAction { None, ToggleFullscreen };

class DesktopKeyboard : public platform::Keyboard {
public:
    // Feeds one SDL event. A key press counts once (repeats do not), only while the
    // window has focus; losing focus forgets what was pressed. Closing the window
    // is an Escape press. Alt+Enter is the full-screen switch, not an Enter press.
    EventAction handleEvent(const SDL_Event& event);
    bool pressedSinceLastQuery(int virtualKey) override { return latch_.take(virtualKey); }
    bool focused() const { return focused_; }

private:
    KeyLatch latch_;
    bool focused_ = true;
};

}  // namespace platform::sdl
