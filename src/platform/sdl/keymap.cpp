// The physical keys behind the game's 30 virtual keys, plus the laptop binding.
#include "platform/sdl/keymap.h"

#include <algorithm>

#include "platform/keyboard.h"

namespace platform::sdl {
namespace {

int byScancode(SDL_Scancode scancode) {
    switch (scancode) {
        case SDL_SCANCODE_ESCAPE: return vk::Escape;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER: return vk::Enter;
        case SDL_SCANCODE_SPACE: return vk::Space;
        case SDL_SCANCODE_RIGHT: return vk::Right;
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL: return vk::Ctrl;
        case SDL_SCANCODE_KP_1: return vk::Numpad1;
        case SDL_SCANCODE_KP_2: return vk::Numpad2;
        case SDL_SCANCODE_KP_3: return vk::Numpad3;
        case SDL_SCANCODE_KP_4: return vk::Numpad4;
        case SDL_SCANCODE_KP_5: return vk::Numpad5;
        case SDL_SCANCODE_KP_6: return vk::Numpad6;
        default: break;
    }
    // SDL numbers 1..9 consecutively and puts 0 after 9; virtual keys are ASCII.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    return 0;
}

// The laptop binding: the same shape as keypad 4 5 6 over 1 2 3.
int laptopBinding(SDL_Scancode scancode) {
    switch (scancode) {
        case SDL_SCANCODE_J: return vk::Numpad4;
        case SDL_SCANCODE_K: return vk::Numpad5;
        case SDL_SCANCODE_L: return vk::Numpad6;
        case SDL_SCANCODE_M: return vk::Numpad1;
        case SDL_SCANCODE_COMMA: return vk::Numpad2;
        case SDL_SCANCODE_PERIOD: return vk::Numpad3;
        default: return 0;
    }
}

}  // namespace

int virtualKeyFor(SDL_Scancode scancode, SDL_Keycode keycode) {
    // Keys found by their place come first: the keypad must not depend on NumLock.
    if (int code = byScancode(scancode)) return code;
    // A game letter wins over the laptop binding, so that a layout which puts W or O
    // where a US keyboard has "," or "L" keeps player 2's keys.
    if (keycode >= SDLK_a && keycode <= SDLK_z) {
        int upper = 'A' + (keycode - SDLK_a);
        if (isGameLetter(upper)) return upper;
        return laptopBinding(scancode);
    }
    if (int code = laptopBinding(scancode)) return code;
    // A layout without a Latin letter on this key: take the letter printed on a US keyboard.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        int upper = 'A' + (scancode - SDL_SCANCODE_A);
        return isGameLetter(upper) ? upper : 0;
    }
    return 0;
}

int commandFor(SDL_Scancode scancode) {
    switch (scancode) {
        case SDL_SCANCODE_PAUSE: return kPause;
        case SDL_SCANCODE_F12: return kScreenshot;
        case SDL_SCANCODE_MINUS:
        case SDL_SCANCODE_KP_MINUS: return kVolumeDown;
        case SDL_SCANCODE_EQUALS:
        case SDL_SCANCODE_KP_PLUS: return kVolumeUp;
        case SDL_SCANCODE_F9: return kMute;
        case SDL_SCANCODE_F3: return kOnlineFigures;
        default: return kNoCommand;
    }
}

int KeyBindings::actionFor(SDL_Scancode scancode, SDL_Keycode keycode) const {
    for (const auto& [key, action] : bound_)
        if (key == scancode) return action;
    int action = commandFor(scancode);
    if (!action) action = virtualKeyFor(scancode, keycode);
    return std::find(rebound_.begin(), rebound_.end(), action) == rebound_.end() ? action : 0;
}

void KeyBindings::bind(SDL_Scancode scancode, int action) {
    if (std::find(rebound_.begin(), rebound_.end(), action) == rebound_.end()) rebound_.push_back(action);
    if (scancode == SDL_SCANCODE_UNKNOWN) return;  // bound to no key
    for (auto& [key, bound] : bound_)
        if (key == scancode) {
            bound = action;
            return;
        }
    bound_.emplace_back(scancode, action);
}

}  // namespace platform::sdl
