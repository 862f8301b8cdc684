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
#pragma once

#include <SDL.h>

namespace platform::sdl {

// The game's virtual-key code for a key, or 0 when the game does not use it.
int virtualKeyFor(SDL_Scancode scancode, SDL_Keycode keycode);

}  // namespace platform::sdl
