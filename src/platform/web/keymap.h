// Which of the game's virtual keys a browser key event stands for, with the
// desktop's bindings: the keypad, the digit row and the keys around them by
// their place on the keyboard (KeyboardEvent.code, so the keypad works with
// NumLock on or off), the game's letters by the layout's letter
// (KeyboardEvent.key) with their place as the fallback, both Enter and both
// Ctrl keys, and the second binding for keyboards without a keypad:
//     J K L   stand for keypad 4 5 6   (turret left, faster, turret right)
//     M , .   stand for keypad 1 2 3   (turn left, slower, turn right)
//
// The page's own keys, which the game never sees, are the desktop's too: Pause,
// F12 (screenshot), - and = (also keypad - and +) for the volume, F9 to mute.
#pragma once

#include <string_view>

namespace platform::web {

// The game's virtual-key code for a key event's code and key, or 0 when the game does not use it.
int virtualKeyFor(std::string_view code, std::string_view key);

// What a key does in the page beyond the game, or kNoCommand.
enum Command : int { kNoCommand = 0, kPause = 0x100, kScreenshot, kVolumeDown, kVolumeUp, kMute };
int commandFor(std::string_view code);

}  // namespace platform::web
