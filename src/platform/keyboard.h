// The keyboard as the game sees it: "was this key pressed since I last asked?",
// per Windows virtual-key code. The front end installs the implementation.
#pragma once

#include <cstdint>

namespace platform {

// Virtual-key codes of the 30 keys the game reads.
namespace vk {
constexpr int Escape = 0x1B, Enter = 0x0D, Space = 0x20, Right = 0x27, Ctrl = 0x11;
constexpr int Numpad1 = 0x61, Numpad2 = 0x62, Numpad3 = 0x63, Numpad4 = 0x64, Numpad5 = 0x65, Numpad6 = 0x66;
}  // namespace vk

// The 30 keys the game reads, in the order the controls read them, with the
// names replay files give them. Replays, key maps and tests take the list from here.
struct GameKey {
    const char* name;
    int code;
};
// clang-format off
inline constexpr GameKey kGameKeys[] = {
    {"Escape", vk::Escape}, {"P", 'P'}, {"O", 'O'}, {"I", 'I'}, {"1", '1'}, {"2", '2'}, {"3", '3'}, {"4", '4'},
    {"5", '5'}, {"6", '6'}, {"7", '7'}, {"8", '8'}, {"9", '9'}, {"0", '0'}, {"KP1", vk::Numpad1},
    {"KP3", vk::Numpad3}, {"KP5", vk::Numpad5}, {"KP2", vk::Numpad2}, {"KP4", vk::Numpad4}, {"KP6", vk::Numpad6},
    {"Right", vk::Right}, {"Enter", vk::Enter}, {"A", 'A'}, {"D", 'D'}, {"W", 'W'}, {"S", 'S'}, {"Q", 'Q'},
    {"E", 'E'}, {"Space", vk::Space}, {"Ctrl", vk::Ctrl}};
// clang-format on
static_assert(sizeof kGameKeys / sizeof kGameKeys[0] == 30, "the game reads 30 keys");

// Whether c is the code of one of the game's letter keys (P O I A D W S Q E).
constexpr bool isGameLetter(int c) {
    for (const GameKey& k : kGameKeys)
        if (k.code == c && c >= 'A' && c <= 'Z') return true;
    return false;
}

// The game keys pressed in one pass, one bit a key: bit i stands for kGameKeys[i].
// Every pass the game queries all 30 keys, so a pass's keys are fully told by
// this set, whatever source they come from.
using KeySet = std::uint32_t;

// The bit of a virtual-key code in a KeySet; 0 for a key the game does not read.
constexpr KeySet keyBit(int virtualKey) {
    for (unsigned i = 0; i < sizeof kGameKeys / sizeof kGameKeys[0]; ++i)
        if (kGameKeys[i].code == virtualKey) return KeySet(1) << i;
    return 0;
}

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // True when the key was pressed since the previous query of that key; the press is then forgotten.
    virtual bool pressedSinceLastQuery(int virtualKey) = 0;
};

// The installed keyboard; with none installed no key is ever pressed.
void setKeyboard(Keyboard* keyboard);
bool keyPressedSinceLastQuery(int virtualKey);

}  // namespace platform
