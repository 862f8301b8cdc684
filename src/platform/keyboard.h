// The keyboard as the game sees it: "was this key pressed since I last asked?",
// per Windows virtual-key code. The front end installs the implementation.
#pragma once

namespace platform {

// Virtual-key codes of the 30 keys the game reads.
namespace vk {
constexpr int Escape = 0x1B, Enter = 0x0D, Space = 0x20, Right = 0x27, Ctrl = 0x11;
constexpr int Numpad1 = 0x61, Numpad2 = 0x62, Numpad3 = 0x63, Numpad4 = 0x64, Numpad5 = 0x65, Numpad6 = 0x66;
}  // namespace vk

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
