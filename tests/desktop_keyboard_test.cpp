// The desktop keyboard: presses latched per key and reported once, repeats and
// unfocused presses ignored, the keypad found by scan code, the laptop binding.
#include <gtest/gtest.h>

#include <SDL.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/sdl/keyboard.h"
#include "platform/sdl/keymap.h"

namespace {

using platform::sdl::DesktopKeyboard;
using platform::sdl::EventAction;
using platform::sdl::virtualKeyFor;
namespace vk = platform::vk;

SDL_Event keyEvent(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 mod = KMOD_NONE, int repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = Uint8(repeat);
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = keycode;
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event windowEvent(SDL_WindowEventID id) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = Uint8(id);
    return e;
}

// The key code a US layout gives a key.
SDL_Keycode usKeycode(SDL_Scancode s) {
    if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z) return SDLK_a + (s - SDL_SCANCODE_A);
    if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_9) return SDLK_1 + (s - SDL_SCANCODE_1);
    switch (s) {
        case SDL_SCANCODE_0: return SDLK_0;
        case SDL_SCANCODE_RETURN: return SDLK_RETURN;
        case SDL_SCANCODE_ESCAPE: return SDLK_ESCAPE;
        case SDL_SCANCODE_SPACE: return SDLK_SPACE;
        case SDL_SCANCODE_COMMA: return SDLK_COMMA;
        case SDL_SCANCODE_PERIOD: return SDLK_PERIOD;
        default: return SDL_SCANCODE_TO_KEYCODE(s);
    }
}

TEST(DesktopKeymap, KeysFoundByPlaceAndByLayout) {
    struct Case {
        const char* what;
        SDL_Scancode scancode;
        SDL_Keycode keycode;
        int expected;
    };
    const Case cases[] = {
        // Every game key is reached on a US layout (below); these rows are the rules beyond that.
        {"keypad Enter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, vk::Enter},
        // NumLock on gives digit key codes, off gives navigation key codes or none: same key.
        {"keypad 2 NumLock off", SDL_SCANCODE_KP_2, SDLK_DOWN, vk::Numpad2},
        {"keypad 5 NumLock off", SDL_SCANCODE_KP_5, SDLK_UNKNOWN, vk::Numpad5},
        {"keypad 7 is not a game key", SDL_SCANCODE_KP_7, SDLK_KP_7, 0},
        {"digit 1 on a layout printing &", SDL_SCANCODE_1, SDLK_AMPERSAND, '1'},
        {"A where a US keyboard has Q", SDL_SCANCODE_Q, SDLK_a, 'A'},
        {"unused letter Z", SDL_SCANCODE_Z, SDLK_z, 0},
        {"non-Latin layout falls back to the place", SDL_SCANCODE_D, SDL_SCANCODE_TO_KEYCODE(SDL_SCANCODE_D), 'D'},
        {"laptop K", SDL_SCANCODE_K, SDLK_k, vk::Numpad5},
        {"laptop M", SDL_SCANCODE_M, SDLK_m, vk::Numpad1},
        {"laptop comma", SDL_SCANCODE_COMMA, SDLK_COMMA, vk::Numpad2},
        {"a layout's W on the comma key stays W", SDL_SCANCODE_COMMA, SDLK_w, 'W'},
    };
    for (const Case& c : cases) EXPECT_EQ(virtualKeyFor(c.scancode, c.keycode), c.expected) << c.what;
}

TEST(DesktopKeymap, EveryGameKeyHasAKey) {
    std::vector<bool> reached(256, false);
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        const int code = virtualKeyFor(SDL_Scancode(s), usKeycode(SDL_Scancode(s)));
        ASSERT_TRUE(code >= 0 && code < 256) << "scan code " << s;
        reached[std::size_t(code)] = true;
    }
    for (const platform::GameKey& key : platform::kGameKeys) EXPECT_TRUE(reached[std::size_t(key.code)]) << key.name;
}

// Plays a script against one keyboard: +K press, -K release, *K key repeat,
// ?K a query that must find a press, .K one that must not; blur, focus, close
// and quit are window events. K is KP5, W, F5 (no game key) or Esc.
void play(const char* what, const std::string& script) {
    struct Key {
        const char* name;
        SDL_Scancode scancode;
        int virtualKey;
    };
    static const Key keys[] = {{"KP5", SDL_SCANCODE_KP_5, vk::Numpad5},
                               {"W", SDL_SCANCODE_W, 'W'},
                               {"F5", SDL_SCANCODE_F5, 0},
                               {"Esc", SDL_SCANCODE_ESCAPE, vk::Escape}};
    const std::pair<const char*, SDL_WindowEventID> windowEvents[] = {{"blur", SDL_WINDOWEVENT_FOCUS_LOST},
                                                                      {"focus", SDL_WINDOWEVENT_FOCUS_GAINED},
                                                                      {"close", SDL_WINDOWEVENT_CLOSE}};
    DesktopKeyboard keyboard;
    std::istringstream in(script);
    for (std::string step; in >> step;) {
        SCOPED_TRACE(std::string(what) + ", step " + step);
        SDL_Event e{};
        if (step == "quit") e.type = SDL_QUIT;
        for (const auto& [name, id] : windowEvents)
            if (step == name) e = windowEvent(id);
        for (const Key& k : keys) {
            if (step.substr(1) != k.name) continue;
            const char op = step[0];
            if (op == '?' || op == '.') {
                EXPECT_EQ(keyboard.pressedSinceLastQuery(k.virtualKey), op == '?');
            }
            if (op == '+' || op == '*')
                e = keyEvent(SDL_KEYDOWN, k.scancode, usKeycode(k.scancode), KMOD_NONE, op == '*');
            if (op == '-') e = keyEvent(SDL_KEYUP, k.scancode, usKeycode(k.scancode));
        }
        if (e.type != 0) keyboard.handleEvent(e);
    }
}

TEST(DesktopKeyboard, PressSemanticsOfTheKeyTest) {
    play("a press is reported once, to the first query; a second press after it again",
         "+KP5 ?KP5 .KP5 -KP5 +KP5 ?KP5");
    play("a press released before the query still counts", "+KP5 -KP5 ?KP5");
    play("key repeat does not count", "+KP5 ?KP5 *KP5 *KP5 .KP5");
    play("two presses between queries are one press", "+KP5 -KP5 +KP5 ?KP5 .KP5");
    play("querying one key leaves another key's press", "+KP5 +W ?KP5 ?W .W");
    play("a key the game does not use presses nothing", "+F5 .KP5 .Esc");
    play("a press without focus does not count; after focus returns presses count again",
         "blur +KP5 .KP5 focus .KP5 +KP5 ?KP5");
    play("losing focus forgets a press not yet asked for", "+KP5 blur focus .KP5");
    play("closing the window, even without focus, and the quit request are Escape presses",
         "blur close ?Esc .Esc quit ?Esc");
}

TEST(DesktopKeyboard, AltEnterSwitchesFullScreenAndIsNoEnterPress) {
    struct Case {
        SDL_Scancode scancode;
        Uint16 mod;
        EventAction action;
        bool enterPressed;
    };
    const Case cases[] = {{SDL_SCANCODE_RETURN, KMOD_LALT, EventAction::ToggleFullscreen, false},
                          {SDL_SCANCODE_RETURN, KMOD_RALT, EventAction::ToggleFullscreen, false},
                          {SDL_SCANCODE_KP_ENTER, KMOD_LALT, EventAction::ToggleFullscreen, false},
                          {SDL_SCANCODE_RETURN, KMOD_NUM, EventAction::None, true},
                          {SDL_SCANCODE_RETURN, KMOD_LSHIFT, EventAction::None, true}};
    for (const Case& c : cases) {
        DesktopKeyboard keyboard;
        EXPECT_EQ(keyboard.handleEvent(keyEvent(SDL_KEYDOWN, c.scancode, SDLK_RETURN, c.mod)), c.action)
            << "mod " << c.mod;
        EXPECT_EQ(keyboard.pressedSinceLastQuery(vk::Enter), c.enterPressed) << "mod " << c.mod;
    }
    DesktopKeyboard keyboard;  // queries outside the key range are no press, and harmless
    keyboard.handleEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    for (int code : {-1, 0, 256, 100000}) EXPECT_FALSE(keyboard.pressedSinceLastQuery(code)) << code;
    EXPECT_TRUE(keyboard.pressedSinceLastQuery(vk::Escape));
}

}  // namespace
