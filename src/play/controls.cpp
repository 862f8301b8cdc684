// The keyboard, once per frame: each press moves a setting by one step, fires,
// toggles a mode or brings a tank into or out of play. Keys are handled in a
// fixed order, so a key can change what a later one in the same frame sees.
#include "core/world.h"
#include "platform/keyboard.h"
#include "play/play.h"

namespace tb {
namespace {

namespace vk = platform::vk;

// A key is queried once, and a second time at once when the first query reports no press.
bool pressed(int key) {
    if (platform::keyPressedSinceLastQuery(key)) return true;
    return platform::keyPressedSinceLastQuery(key);
}

// During the first frame keys are queried (using up earlier presses) but do not act.
bool acts(int key) { return pressed(key) && !world.firstFrame; }

void toggleTank(int tank) {
    Tank& t = world.tanks[tank];
    if (t.active == 0) {
        t.active = 1;
    } else {
        t.active = 0;
        removeTank(tank);
    }
}

// A driving key moves its setting by one step (in single precision) and takes the tank back from the computer.
void drive(int key, float& setting, float amount, std::uint8_t& autoPilot) {
    if (!acts(key)) return;
    setting = setting + amount;
    autoPilot = 0;
}

void fireIfReady(int tank, std::uint8_t& autoPilot) {
    if (world.tanks[tank].reload == 0) {
        fireShell(tank);
        autoPilot = 0;
    }
}

}  // namespace

void readControls() {
    // Escape counts on its first query even in the first frame.
    if (platform::keyPressedSinceLastQuery(vk::Escape)) {
        world.quitRequested = 1;
    } else if (platform::keyPressedSinceLastQuery(vk::Escape) && !world.firstFrame) {
        world.quitRequested = 1;
    }
    if (acts('P')) world.autoPilot1 = world.autoPilot1 ? 0 : 1;
    if (acts('O')) world.autoPilot2 = world.autoPilot2 ? 0 : 1;
    if (acts('I')) world.coopMode = world.coopMode ? 0 : 1;

    static constexpr struct {
        int key, tank;
    } kToggles[] = {{'1', 3}, {'2', 5}, {'3', 7}, {'4', 9}, {'5', 11},
                    {'6', 2}, {'7', 4}, {'8', 6}, {'9', 8}, {'0', 10}};
    for (const auto& toggle : kToggles)
        if (acts(toggle.key)) toggleTank(toggle.tank);

    Tank& p1 = world.tanks[0];
    drive(vk::Numpad1, p1.turnRate, -0.01f, world.autoPilot1);
    drive(vk::Numpad3, p1.turnRate, 0.01f, world.autoPilot1);
    drive(vk::Numpad5, p1.speed, 0.5f, world.autoPilot1);
    drive(vk::Numpad2, p1.speed, -0.5f, world.autoPilot1);
    drive(vk::Numpad4, p1.turretRate, -0.008f, world.autoPilot1);
    drive(vk::Numpad6, p1.turretRate, 0.008f, world.autoPilot1);
    if (acts(vk::Right)) fireIfReady(0, world.autoPilot1);
    if (acts(vk::Enter)) fireIfReady(0, world.autoPilot1);

    const int player2 = world.coopMode ? 2 : 1;
    Tank& p2 = world.tanks[player2];
    drive('A', p2.turnRate, -0.01f, world.autoPilot2);
    drive('D', p2.turnRate, 0.01f, world.autoPilot2);
    drive('W', p2.speed, 0.5f, world.autoPilot2);
    drive('S', p2.speed, -0.5f, world.autoPilot2);
    drive('Q', p2.turretRate, -0.008f, world.autoPilot2);
    drive('E', p2.turretRate, 0.008f, world.autoPilot2);
    if (acts(vk::Space)) fireIfReady(player2, world.autoPilot2);
    if (acts(vk::Ctrl)) fireIfReady(player2, world.autoPilot2);
}

}  // namespace tb
