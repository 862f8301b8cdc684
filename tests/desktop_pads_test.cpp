// Gamepads through SDL's own virtual pads, so the real event path runs without
// hardware: each pad plays for its player, buttons and sticks give one press of
// the player's game key, a stick counts again only after coming back, and pads
// can come and go.
#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/sdl/pads.h"

namespace {

namespace sdl = platform::sdl;

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
    enum Kind { Button, Axis };
    const struct {
        SDL_Joystick* pad;
        Kind kind;
        int index, value;
        const char* pressed;
    } steps[] = {
        {first, Button, SDL_CONTROLLER_BUTTON_A, 1, "Right"},
        {first, Button, SDL_CONTROLLER_BUTTON_A, 0, ""},
        {first, Button, SDL_CONTROLLER_BUTTON_DPAD_UP, 1, "KP5"},
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, -30000, "KP5"},
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, -32000, ""},  // still pushed
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, -12000, ""},  // not yet back
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, -20000, ""},
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, -3000, ""},  // back
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, -20000, "KP5"},
        {first, Axis, SDL_CONTROLLER_AXIS_LEFTY, 20000, "KP2"},  // straight to the other side
        {first, Button, SDL_CONTROLLER_BUTTON_Y, 1, "P"},
        {second, Button, SDL_CONTROLLER_BUTTON_Y, 1, "O"},
        {second, Axis, SDL_CONTROLLER_AXIS_RIGHTX, 20000, "E"},
        {second, Axis, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767, "Space"},
        {second, Button, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1, "Q"},
        {second, Button, SDL_CONTROLLER_BUTTON_START, 1, ""},
    };
    for (const auto& s : steps) {
        if (s.kind == Button)
            SDL_JoystickSetVirtualButton(s.pad, s.index, Uint8(s.value));
        else
            SDL_JoystickSetVirtualAxis(s.pad, s.index, Sint16(s.value));
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

}  // namespace
