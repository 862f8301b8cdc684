// Pads plugged in before or during play, their buttons and sticks as game key presses.
#include "platform/sdl/pads.h"

#include <algorithm>

#include "platform/keyboard.h"

namespace platform::sdl {

int padActionKey(PadAction action, int player) {
    // Faster, Slower, TurnLeft, TurnRight, TurretLeft, TurretRight, Fire, Computer.
    static constexpr int kPlayer1[] = {vk::Numpad5, vk::Numpad2, vk::Numpad1, vk::Numpad3,
                                       vk::Numpad4, vk::Numpad6, vk::Right,   'P'};
    static constexpr int kPlayer2[] = {'W', 'S', 'A', 'D', 'Q', 'E', vk::Space, 'O'};
    const int a = int(action);
    if (a < 0 || a >= int(std::size(kPlayer1))) return 0;
    return player == 1 ? kPlayer1[a] : kPlayer2[a];
}

Pads::Pads(const Settings& settings) : firstPadPlayer_(settings.firstPadPlayer) {
    for (int a = 0; a < kPadActions; ++a) controls_[a] = padControls(settings, PadAction(a));
}

Pads::~Pads() {
    for (const Pad& pad : pads_) SDL_GameControllerClose(pad.controller);
}

EventAction Pads::act(const Pad& pad, const PadControl& control, DesktopKeyboard& keyboard) const {
    EventAction result = EventAction::None;
    for (int a = 0; a < kPadActions; ++a) {
        if (std::find(controls_[a].begin(), controls_[a].end(), control) == controls_[a].end()) continue;
        if (PadAction(a) == PadAction::Pause)
            result = EventAction::Pause;
        else
            keyboard.pressFromPad(padActionKey(PadAction(a), pad.player));
    }
    return result;
}

EventAction Pads::handleEvent(const SDL_Event& event, DesktopKeyboard& keyboard) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED: {
            SDL_GameController* controller = SDL_GameControllerOpen(event.cdevice.which);
            if (!controller) break;
            const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
            if (std::any_of(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.id == id; })) {
                SDL_GameControllerClose(controller);  // already open: SDL tells of some pads twice
                break;
            }
            // The first free player, in the order the settings give.
            int player = firstPadPlayer_;
            if (firstPadPlayer_ == 1 &&
                std::any_of(pads_.begin(), pads_.end(), [](const Pad& p) { return p.player == 1; }))
                player = 2;
            pads_.push_back({id, controller, player, {}});
            break;
        }
        case SDL_CONTROLLERDEVICEREMOVED: {
            // An unplugged pad lets go of everything: its sticks count from rest when it comes back.
            auto it =
                std::find_if(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.id == event.cdevice.which; });
            if (it == pads_.end()) break;
            SDL_GameControllerClose(it->controller);
            pads_.erase(it);
            break;
        }
        case SDL_CONTROLLERBUTTONDOWN:
            for (const Pad& pad : pads_)
                if (pad.id == event.cbutton.which) return act(pad, {false, event.cbutton.button, 1}, keyboard);
            break;
        case SDL_CONTROLLERAXISMOTION:
            for (Pad& pad : pads_) {
                if (pad.id != event.caxis.which || event.caxis.axis >= SDL_CONTROLLER_AXIS_MAX) continue;
                int& side = pad.axisSide[event.caxis.axis];
                const int value = event.caxis.value;
                if (side != 0 && value * side < kReleased) side = 0;
                if (side == 0 && (value >= kPushed || value <= -kPushed)) {
                    side = value > 0 ? 1 : -1;
                    return act(pad, {true, event.caxis.axis, side}, keyboard);
                }
            }
            break;
        default: break;
    }
    return EventAction::None;
}

}  // namespace platform::sdl
