// Keys and pads: the desktop keyboard (presses latched per key and reported
// once, repeats and unfocused presses ignored, the keypad found by scan code, the
// laptop binding), gamepads through SDL's own virtual pads (one press of the
// player's key per button or stick push), and the page's key map for browsers.
#include <SDL.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/sdl/keyboard.h"
#include "platform/sdl/keymap.h"
#include "platform/sdl/pads.h"
#include "platform/web/keymap.h"

namespace {

using platform::sdl::DesktopKeyboard;
using platform::sdl::EventAction;
using platform::sdl::virtualKeyFor;
namespace vk = platform::vk;
namespace sdl = platform::sdl;

SDL_Event keyEvent(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 mod = KMOD_NONE, int repeat = 0) {
    SDL_Event e{};
    e.type = e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = Uint8(repeat);
    e.key.keysym.scancode = scancode, e.key.keysym.sym = keycode, e.key.keysym.mod = mod;
    return e;
}

TEST(DesktopKeymap, KeysFoundByPlaceAndByLayout) {
    // Every game key is reached on a US layout (below); these are the rules beyond that: keypad
    // Enter; NumLock on gives digit key codes, off navigation key codes or none, the same key;
    // keypad 7 is no game key; digit 1 on a layout printing &; A where a US keyboard has Q;
    // the unused Z; a non-Latin layout falls back to the place; the laptop binding (K, M and
    // the comma), unless a layout puts W on the comma key.
    // clang-format off
    const struct { SDL_Scancode scancode; SDL_Keycode keycode; int expected; } cases[] = {
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, vk::Enter}, {SDL_SCANCODE_KP_2, SDLK_DOWN, vk::Numpad2},
        {SDL_SCANCODE_KP_5, SDLK_UNKNOWN, vk::Numpad5}, {SDL_SCANCODE_KP_7, SDLK_KP_7, 0},
        {SDL_SCANCODE_1, SDLK_AMPERSAND, '1'}, {SDL_SCANCODE_Q, SDLK_a, 'A'}, {SDL_SCANCODE_Z, SDLK_z, 0},
        {SDL_SCANCODE_D, SDL_SCANCODE_TO_KEYCODE(SDL_SCANCODE_D), 'D'}, {SDL_SCANCODE_K, SDLK_k, vk::Numpad5},
        {SDL_SCANCODE_M, SDLK_m, vk::Numpad1}, {SDL_SCANCODE_COMMA, SDLK_COMMA, vk::Numpad2},
        {SDL_SCANCODE_COMMA, SDLK_w, 'W'}};
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(virtualKeyFor(c.scancode, c.keycode), c.expected) << c.scancode;
}

TEST(DesktopKeymap, EveryGameKeyHasAKey) {
    std::vector<bool> reached(256, false);
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        const int code = virtualKeyFor(SDL_Scancode(s), SDL_GetKeyFromScancode(SDL_Scancode(s)));
        ASSERT_TRUE(code >= 0 && code < 256) << "scan code " << s;
        reached[std::size_t(code)] = true;
    }
    for (const platform::GameKey& key : platform::kGameKeys) EXPECT_TRUE(reached[std::size_t(key.code)]) << key.name;
}

// Plays a script against one keyboard: +K press, -K release, *K key repeat,
// ?K a query that must find a press, .K one that must not; blur, focus, close
// and quit are window events. K is KP5, W, F5 (no game key) or Esc.
void play(const char* what, const std::string& script) {
    // clang-format off
    static const struct { std::string name; SDL_Scancode scancode; int virtualKey; } keys[] = {
        {"KP5", SDL_SCANCODE_KP_5, vk::Numpad5}, {"W", SDL_SCANCODE_W, 'W'}, {"F5", SDL_SCANCODE_F5, 0},
        {"Esc", SDL_SCANCODE_ESCAPE, vk::Escape}};
    const std::pair<const char*, SDL_WindowEventID> windowEvents[] = {{"blur", SDL_WINDOWEVENT_FOCUS_LOST},
        {"focus", SDL_WINDOWEVENT_FOCUS_GAINED}, {"close", SDL_WINDOWEVENT_CLOSE}};
    // clang-format on
    DesktopKeyboard keyboard;
    std::istringstream in(script);
    for (std::string step; in >> step;) {
        SCOPED_TRACE(std::string(what) + ", step " + step);
        SDL_Event e{};
        if (step == "quit") e.type = SDL_QUIT;
        for (const auto& [name, id] : windowEvents)
            if (step == name) e.type = SDL_WINDOWEVENT, e.window.event = Uint8(id);
        for (const auto& k : keys) {
            if (step.substr(1) != k.name) continue;
            const char op = step[0];
            EXPECT_TRUE((op != '?' && op != '.') || keyboard.pressedSinceLastQuery(k.virtualKey) == (op == '?'));
            if (op == '+' || op == '*')
                e = keyEvent(SDL_KEYDOWN, k.scancode, SDL_GetKeyFromScancode(k.scancode), KMOD_NONE, op == '*');
            if (op == '-') e = keyEvent(SDL_KEYUP, k.scancode, SDL_GetKeyFromScancode(k.scancode));
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
    // clang-format off
    const struct { SDL_Scancode scancode; Uint16 mod; bool toggles; } cases[] = {
        {SDL_SCANCODE_RETURN, KMOD_LALT, true}, {SDL_SCANCODE_RETURN, KMOD_RALT, true},
        {SDL_SCANCODE_KP_ENTER, KMOD_LALT, true}, {SDL_SCANCODE_RETURN, KMOD_NUM, false},
        {SDL_SCANCODE_RETURN, KMOD_LSHIFT, false}};
    // clang-format on
    for (const auto& c : cases) {
        DesktopKeyboard keyboard;
        EXPECT_EQ(keyboard.handleEvent(keyEvent(SDL_KEYDOWN, c.scancode, SDLK_RETURN, c.mod)),
                  c.toggles ? EventAction::ToggleFullscreen : EventAction::None)
            << "mod " << c.mod;
        EXPECT_EQ(keyboard.pressedSinceLastQuery(vk::Enter), !c.toggles) << "mod " << c.mod;
    }
    DesktopKeyboard keyboard;  // queries outside the key range are no press, and harmless
    keyboard.handleEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    for (int code : {-1, 0, 256, 100000}) EXPECT_FALSE(keyboard.pressedSinceLastQuery(code)) << code;
    EXPECT_TRUE(keyboard.pressedSinceLastQuery(vk::Escape));
}

class DesktopPads : public ::testing::Test {
protected:
    sdl::DesktopKeyboard keyboard;
    std::vector<sdl::EventAction> actions;

    void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError(); }
    void TearDown() override {
        while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    // A virtual pad with every standard button and axis, plugged in; its joystick.
    SDL_Joystick* plugIn(sdl::Pads& pads) {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                    SDL_CONTROLLER_BUTTON_MAX, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        pump(pads);
        return SDL_JoystickFromInstanceID(id);
    }
    // Hands every waiting event to the pads; the game keys they pressed, by replay name.
    std::string pump(sdl::Pads& pads) {
        SDL_JoystickUpdate();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (sdl::EventAction a = pads.handleEvent(event, keyboard); a != sdl::EventAction::None)
                actions.push_back(a);
        std::string pressed;
        for (const platform::GameKey& key : platform::kGameKeys)
            if (keyboard.pressedSinceLastQuery(key.code)) pressed += std::string(pressed.empty() ? "" : " ") + key.name;
        return pressed;
    }
};

TEST_F(DesktopPads, ButtonsAndSticksPressThePlayersKeysOnce) {
    sdl::Pads pads(sdl::Settings{});
    SDL_Joystick* first = plugIn(pads);
    SDL_Joystick* second = plugIn(pads);
    ASSERT_EQ(pads.connected(), 2);
    // Buttons press once; a stick counts when pushed past the threshold, not again while
    // still pushed or not yet back, again after coming back, and at once on the other side.
    enum Kind { Button, Axis };
    const int leftY = SDL_CONTROLLER_AXIS_LEFTY;
    // clang-format off
    const struct { SDL_Joystick* pad; Kind kind; int index, value; const char* pressed; } steps[] = {
        {first, Button, SDL_CONTROLLER_BUTTON_A, 1, "Right"}, {first, Button, SDL_CONTROLLER_BUTTON_A, 0, ""},
        {first, Button, SDL_CONTROLLER_BUTTON_DPAD_UP, 1, "KP5"}, {first, Axis, leftY, -30000, "KP5"},
        {first, Axis, leftY, -32000, ""}, {first, Axis, leftY, -12000, ""}, {first, Axis, leftY, -20000, ""},
        {first, Axis, leftY, -3000, ""}, {first, Axis, leftY, -20000, "KP5"}, {first, Axis, leftY, 20000, "KP2"},
        {first, Button, SDL_CONTROLLER_BUTTON_Y, 1, "P"}, {second, Button, SDL_CONTROLLER_BUTTON_Y, 1, "O"},
        {second, Axis, SDL_CONTROLLER_AXIS_RIGHTX, 20000, "E"},
        {second, Axis, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767, "Space"},
        {second, Button, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1, "Q"}, {second, Button, SDL_CONTROLLER_BUTTON_START, 1, ""}};
    // clang-format on
    for (const auto& s : steps) {
        if (s.kind == Button) SDL_JoystickSetVirtualButton(s.pad, s.index, Uint8(s.value));
        if (s.kind == Axis) SDL_JoystickSetVirtualAxis(s.pad, s.index, Sint16(s.value));
        EXPECT_EQ(pump(pads), s.pressed) << "step " << (&s - steps);
    }
    EXPECT_EQ(actions, std::vector<sdl::EventAction>{sdl::EventAction::Pause});

    // While paused a pad presses nothing (Start still comes through to go on).
    keyboard.setPaused(true);
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_B, 1);
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
    EXPECT_EQ(pump(pads), "");
    keyboard.setPaused(false);

    // Unplugged with its stick pushed, the first pad lets go; plugged in again it
    // plays for player 1 once more, its stick counting from rest.
    SDL_JoystickSetVirtualAxis(first, SDL_CONTROLLER_AXIS_LEFTX, 30000);
    EXPECT_EQ(pump(pads), "KP3");
    ASSERT_EQ(SDL_JoystickDetachVirtual(0), 0);
    pump(pads);
    EXPECT_EQ(pads.connected(), 1);
    SDL_Joystick* again = plugIn(pads);
    SDL_JoystickSetVirtualAxis(again, SDL_CONTROLLER_AXIS_LEFTX, 30000);
    EXPECT_EQ(pump(pads), "KP3");
}

TEST_F(DesktopPads, PlayerOneCanKeepTheKeyboardAndBindingsReplaceTheDefaults) {
    sdl::Settings settings;
    settings.firstPadPlayer = 2;
    settings.pad.push_back({{false, SDL_CONTROLLER_BUTTON_B, 1}, sdl::PadAction::Fire});
    sdl::Pads pads(settings);
    SDL_Joystick* pads2[] = {plugIn(pads), plugIn(pads)};
    for (SDL_Joystick* pad : pads2) {
        SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);  // no longer fires
        SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_B, 1);
        EXPECT_EQ(pump(pads), "Space");
    }
}

TEST(WebKeymap, BrowserKeysMapLikeTheDesktop) {
    // The keypad with NumLock on and off, both Enter and Ctrl keys; digits by place (AZERTY
    // prints &), letters by layout, by place without Latin letters; the laptop binding unless
    // the layout puts a game letter there; keys the game does not use.
    // clang-format off
    const struct { const char *code, *key; int virtualKey; } cases[] = {
        {"Numpad5", "5", vk::Numpad5}, {"Numpad5", "Clear", vk::Numpad5}, {"Numpad1", "End", vk::Numpad1},
        {"Numpad6", "ArrowRight", vk::Numpad6}, {"NumpadEnter", "Enter", vk::Enter}, {"Enter", "Enter", vk::Enter},
        {"ControlRight", "Control", vk::Ctrl}, {"ArrowRight", "ArrowRight", vk::Right}, {"Space", " ", vk::Space},
        {"Escape", "Escape", vk::Escape}, {"Digit1", "&", '1'}, {"Digit0", "0", '0'}, {"KeyW", "W", 'W'},
        {"KeyZ", "w", 'W'}, {"KeyW", "z", 0}, {"KeyQ", "\xD0\xB9", 'Q'}, {"KeyK", "k", vk::Numpad5},
        {"KeyJ", "j", vk::Numpad4}, {"KeyL", "l", vk::Numpad6}, {"KeyM", "m", vk::Numpad1},
        {"Comma", ",", vk::Numpad2}, {"Period", ".", vk::Numpad3}, {"KeyL", "o", 'O'}, {"Semicolon", "m", 0},
        {"KeyB", "b", 0}, {"F1", "F1", 0}, {"Numpad7", "7", 0}, {"", "", 0}, {"Digit", "", 0}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(platform::web::virtualKeyFor(c.code, c.key), c.virtualKey) << c.code << " / " << c.key;

    // The page's own keys are the desktop's, and none of them is a game key.
    namespace web = platform::web;
    // clang-format off
    const struct { const char* code; int command; SDL_Scancode desktopKey; int desktopCommand; } commands[] = {
        {"Pause", web::kPause, SDL_SCANCODE_PAUSE, sdl::kPause},
        {"F12", web::kScreenshot, SDL_SCANCODE_F12, sdl::kScreenshot},
        {"Minus", web::kVolumeDown, SDL_SCANCODE_MINUS, sdl::kVolumeDown},
        {"NumpadSubtract", web::kVolumeDown, SDL_SCANCODE_KP_MINUS, sdl::kVolumeDown},
        {"Equal", web::kVolumeUp, SDL_SCANCODE_EQUALS, sdl::kVolumeUp},
        {"NumpadAdd", web::kVolumeUp, SDL_SCANCODE_KP_PLUS, sdl::kVolumeUp},
        {"F9", web::kMute, SDL_SCANCODE_F9, sdl::kMute},
        {"F1", web::kNoCommand, SDL_SCANCODE_F1, sdl::kNoCommand},
        {"KeyP", web::kNoCommand, SDL_SCANCODE_P, sdl::kNoCommand}};
    // clang-format on
    for (const auto& c : commands) {
        EXPECT_EQ(web::commandFor(c.code), c.command) << c.code;
        EXPECT_EQ(sdl::commandFor(c.desktopKey), c.desktopCommand) << c.code;
        if (c.command) {
            EXPECT_EQ(web::virtualKeyFor(c.code, c.code), 0) << c.code;
        }
    }
}

}  // namespace
