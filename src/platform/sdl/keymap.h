// Which of the game's virtual keys a physical key stands for.
//
// The keypad, the digit row and the keys around them are found by scan code (the
// key's place on the keyboard), so the keypad works with NumLock on or off and the
// digits work on every layout. Letters follow the layout, as virtual keys do, and
// fall back to their place when the layout has no Latin letter there. Both Enter
// keys answer to Enter and both Ctrl keys to Ctrl.
//
// Keyboards without a keypad get a second binding for player 1's six keypad keys,
// on keys the game does not use, laid out like the keypad:
//     J K L   stand for keypad 4 5 6   (turret left, faster, turret right)
//     M , .   stand for keypad 1 2 3   (turn left, slower, turn right)
//
// Keys of the front end itself, which the game never sees: Pause, F12 (screenshot),
// - and = (also keypad - and +) for the volume, F9 to mute, F3 for the figures of
// online play.
#pragma once

#include <SDL.h>

#include <vector>

namespace platform::sdl {

// The game's virtual-key code for a key, or 0 when the game does not use it.
int virtualKeyFor(SDL_Scancode scancode, SDL_Keycode keycode);

// What a key does beyond the game: actions numbered above every virtual key.
enum Command : int { kNoCommand = 0, kPause = 0x100, kScreenshot, kVolumeDown, kVolumeUp, kMute, kOnlineFigures };
int commandFor(SDL_Scancode scancode);

// The keys in effect: the defaults above, with a player's own bindings over them.
// An action is a virtual key (1..255) or a Command.
class KeyBindings {
public:
    // The action of a key, or 0.
    int actionFor(SDL_Scancode scancode, SDL_Keycode keycode) const;
    // Binds a key to an action. The first binding of an action takes it from its
    // default keys; a key bound here loses its default action. SDL_SCANCODE_UNKNOWN
    // takes the action from its default keys and gives it none.
    void bind(SDL_Scancode scancode, int action);
    bool empty() const { return bound_.empty(); }

private:
    std::vector<std::pair<SDL_Scancode, int>> bound_;
    std::vector<int> rebound_;  // actions whose default keys no longer act
};

}  // namespace platform::sdl
