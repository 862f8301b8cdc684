// Gamepads through SDL's game controller interface, as key presses: the first
// pad plays for player 1 and the second for player 2 (or every pad for player 2
// when player 1 keeps the keyboard). A button press is one press of the game key
// it stands for; a stick or trigger pushed past a threshold is one press, and
// counts again only after it has come back. The game never learns which device
// pressed, so replays record pad presses like any key.
#pragma once

#include <SDL.h>

#include <array>
#include <vector>

#include "platform/sdl/keyboard.h"
#include "platform/sdl/settings.h"

namespace platform::sdl {

// The game key a pad action presses for player 1 or 2 (0 for Pause).
int padActionKey(PadAction action, int player);

class Pads {
public:
    // Pushed past about half way counts; coming back below a quarter re-arms.
    static constexpr int kPushed = 16384, kReleased = 8192;

    explicit Pads(const Settings& settings);
    ~Pads();
    Pads(const Pads&) = delete;
    Pads& operator=(const Pads&) = delete;

    // Feeds one SDL event: pads come and go, their presses go to `keyboard`.
    // A pad's Pause comes back as EventAction::Pause.
    EventAction handleEvent(const SDL_Event& event, DesktopKeyboard& keyboard);
    int connected() const { return int(pads_.size()); }

private:
    struct Pad {
        SDL_JoystickID id;
        SDL_GameController* controller;
        int player;
        std::array<int, SDL_CONTROLLER_AXIS_MAX> axisSide{};  // -1, 0 or +1: the side an axis is pushed to
    };
    EventAction act(const Pad& pad, const PadControl& control, DesktopKeyboard& keyboard) const;

    std::vector<Pad> pads_;
    std::array<std::vector<PadControl>, kPadActions> controls_;
    int firstPadPlayer_;
};

}  // namespace platform::sdl
