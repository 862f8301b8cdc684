// KeyboardEvent.code and .key to the game's virtual keys and the page's own keys, the way the
// desktop maps scan codes and key codes.
#include "platform/web/keymap.h"

#include "platform/keyboard.h"

namespace platform::web {
namespace {

struct Binding {
    std::string_view code;
    int action;  // a virtual key or a Command
};

// Keys found by their place.
constexpr Binding kByPlace[] = {
    {"Escape", vk::Escape},    {"Enter", vk::Enter},      {"NumpadEnter", vk::Enter}, {"Space", vk::Space},
    {"ArrowRight", vk::Right}, {"ControlLeft", vk::Ctrl}, {"ControlRight", vk::Ctrl}, {"Numpad1", vk::Numpad1},
    {"Numpad2", vk::Numpad2},  {"Numpad3", vk::Numpad3},  {"Numpad4", vk::Numpad4},   {"Numpad5", vk::Numpad5},
    {"Numpad6", vk::Numpad6},
};

// The binding for keyboards without a keypad: the shape of keypad 4 5 6 over 1 2 3.
constexpr Binding kLaptop[] = {
    {"KeyJ", vk::Numpad4}, {"KeyK", vk::Numpad5},  {"KeyL", vk::Numpad6},
    {"KeyM", vk::Numpad1}, {"Comma", vk::Numpad2}, {"Period", vk::Numpad3},
};

// The page's own keys, by place.
constexpr Binding kCommands[] = {
    {"Pause", kPause},    {"F12", kScreenshot},     {"Minus", kVolumeDown}, {"NumpadSubtract", kVolumeDown},
    {"Equal", kVolumeUp}, {"NumpadAdd", kVolumeUp}, {"F9", kMute},
};

int lookUp(const auto& table, std::string_view code) {
    for (const Binding& b : table)
        if (b.code == code) return b.action;
    return 0;
}

}  // namespace

int virtualKeyFor(std::string_view code, std::string_view key) {
    if (int v = lookUp(kByPlace, code)) return v;
    if (code.size() == 6 && code.starts_with("Digit") && code[5] >= '0' && code[5] <= '9') return code[5];
    // A game letter of the layout wins over the laptop binding, so that a layout
    // which puts W or O where a US keyboard has "," or "L" keeps player 2's keys.
    if (key.size() == 1 && ((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= 'A' && key[0] <= 'Z'))) {
        const char upper = char(key[0] & ~0x20);
        return isGameLetter(upper) ? upper : lookUp(kLaptop, code);
    }
    if (int v = lookUp(kLaptop, code)) return v;
    // A layout without a Latin letter on this key: the letter printed on a US keyboard.
    if (code.size() == 4 && code.starts_with("Key") && isGameLetter(code[3])) return code[3];
    return 0;
}

int commandFor(std::string_view code) { return lookUp(kCommands, code); }

}  // namespace platform::web
