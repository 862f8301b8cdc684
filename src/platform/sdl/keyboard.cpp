// Key events to latched presses: the desktop's answer to "pressed since last asked?".
#include "platform/sdl/keyboard.h"

#include "platform/sdl/keymap.h"

namespace platform::sdl {

void KeyLatch::press(int virtualKey) {
    if (virtualKey > 0 && virtualKey < int(latched_.size())) latched_[virtualKey] = true;
}

bool KeyLatch::take(int virtualKey) {
    if (virtualKey <= 0 || virtualKey >= int(latched_.size())) return false;
    bool pressed = latched_[virtualKey];
    latched_[virtualKey] = false;
    return pressed;
}

EventAction DesktopKeyboard::handleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT: latch_.press(vk::Escape); return EventAction::Quit;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE: latch_.press(vk::Escape); return EventAction::Quit;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    focused_ = false;
                    latch_.clear();
                    break;
                case SDL_WINDOWEVENT_FOCUS_GAINED: focused_ = true; break;
                case SDL_WINDOWEVENT_MINIMIZED:
                case SDL_WINDOWEVENT_HIDDEN: return EventAction::Hidden;
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_MAXIMIZED:
                case SDL_WINDOWEVENT_SHOWN: return EventAction::Shown;
                default: break;
            }
            break;
        case SDL_KEYDOWN: {
            if (event.key.repeat || !focused_) break;
            const SDL_Keysym& key = event.key.keysym;
            bool enter = key.scancode == SDL_SCANCODE_RETURN || key.scancode == SDL_SCANCODE_KP_ENTER;
            if (enter && (key.mod & KMOD_ALT)) return EventAction::ToggleFullscreen;
            const int action = bindings_.actionFor(key.scancode, key.sym);
            if (action >= kPause) return EventAction(int(EventAction::Pause) + (action - kPause));
            if (paused_ && action != vk::Escape) break;
            latch_.press(action);
            if (paused_) return EventAction::Quit;
            break;
        }
        default: break;
    }
    return EventAction::None;
}

}  // namespace platform::sdl
