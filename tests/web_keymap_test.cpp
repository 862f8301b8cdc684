// The page's key map: browser key events name the same virtual keys as the
// desktop's scan codes and key codes, on US and other layouts.
#include <gtest/gtest.h>

#include "platform/keyboard.h"
#include "platform/web/keymap.h"

namespace {

namespace vk = platform::vk;

TEST(WebKeymap, BrowserKeysMapLikeTheDesktop) {
    struct Case {
        const char* code;
        const char* key;
        int virtualKey;
    };
    const Case cases[] = {
        {"Numpad5", "5", vk::Numpad5},
        {"Numpad5", "Clear", vk::Numpad5},  // NumLock on and off
        {"Numpad1", "End", vk::Numpad1},
        {"Numpad6", "ArrowRight", vk::Numpad6},
        {"NumpadEnter", "Enter", vk::Enter},
        {"Enter", "Enter", vk::Enter},
        {"ControlRight", "Control", vk::Ctrl},
        {"ArrowRight", "ArrowRight", vk::Right},
        {"Space", " ", vk::Space},
        {"Escape", "Escape", vk::Escape},
        {"Digit1", "&", '1'},  // digits by place (AZERTY prints &)
        {"Digit0", "0", '0'},
        {"KeyW", "w", 'W'},
        {"KeyW", "W", 'W'},
        {"KeyZ", "w", 'W'},  // letters by layout
        {"KeyW", "z", 0},
        {"KeyQ", "\xD0\xB9", 'Q'},  // a layout without Latin letters: by place
        {"KeyK", "k", vk::Numpad5},
        {"KeyJ", "j", vk::Numpad4},
        {"KeyL", "l", vk::Numpad6},
        {"KeyM", "m", vk::Numpad1},
        {"Comma", ",", vk::Numpad2},
        {"Period", ".", vk::Numpad3},
        {"KeyL", "o", 'O'},  // a game letter wins over the laptop binding
        {"Semicolon", "m", 0},
        {"KeyB", "b", 0},
        {"F1", "F1", 0},
        {"Numpad7", "7", 0},
        {"", "", 0},
        {"Digit", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::web::virtualKeyFor(c.code, c.key), c.virtualKey) << c.code << " / " << c.key;
}

}  // namespace
