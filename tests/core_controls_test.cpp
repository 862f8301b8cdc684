// Player controls: the first-frame rule, the double key query, the fixed key
// order, toggles, co-operative mode and the fire keys with their reload test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/world.h"
#include "play/play.h"
#include "platform/keyboard.h"
#include "platform/sound.h"
#include "sim/sim.h"

namespace {

// Virtual-key codes of the 30 game keys, in the order the controls handle them.
const std::vector<int> kKeyOrder = {0x1B, 0x50, 0x4F, 0x49, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36,
                                    0x37, 0x38, 0x39, 0x30, 0x61, 0x63, 0x65, 0x62, 0x64, 0x66,
                                    0x27, 0x0D, 0x41, 0x44, 0x57, 0x53, 0x51, 0x45, 0x20, 0x11};

// Answers the n-th query of a key from a script (no press when the script runs out) and logs every query.
class ScriptedKeyboard : public platform::Keyboard {
public:
    std::map<int, std::vector<bool>> script;
    std::vector<int> queries;

    // A press reported to the first query of the key.
    void press(int key) { script[key] = {true}; }

    bool pressedSinceLastQuery(int key) override {
        const std::size_t n = std::count(queries.begin(), queries.end(), key);
        queries.push_back(key);
        const auto it = script.find(key);
        return it != script.end() && n < it->second.size() && it->second[n];
    }
};

class RecordingSound : public platform::Sound {
public:
    std::vector<std::string> played;
    void play(const char* name) override { played.push_back(name); }
};

class PlayControls : public ::testing::Test {
protected:
    ScriptedKeyboard keys;
    RecordingSound sound;

    void SetUp() override {
        tb::world = tb::WorldState{};
        tb::world.coopMode = 1;
        for (int i = 0; i < tb::kTankCount; ++i) {
            tb::world.tanks[i].team = i % 2;
            tb::world.tanks[i].target = -1;
            tb::world.tanks[i].z = 1.0f;
            tb::world.tanks[i].health = 16.0f;
        }
        tb::world.tanks[0].active = 1;
        tb::world.tanks[1].active = 1;
        tb::world.randomState = 12345;
        platform::setKeyboard(&keys);
        platform::setSound(&sound);
    }
    void TearDown() override {
        platform::setKeyboard(nullptr);
        platform::setSound(nullptr);
    }
    int activeShells() const {
        int n = 0;
        for (const tb::Shell& s : tb::world.shells) n += s.active;
        return n;
    }
};

TEST_F(PlayControls, EveryKeyIsQueriedTwiceInTheFixedOrderWhenNothingIsPressed) {
    std::vector<int> expected;
    for (int key : kKeyOrder) expected.insert(expected.end(), {key, key});
    for (int firstFrame : {1, 0}) {
        keys.queries.clear();
        tb::world.firstFrame = std::uint8_t(firstFrame);
        tb::readControls();
        EXPECT_EQ(keys.queries, expected) << "firstFrame " << firstFrame;
    }
}

TEST_F(PlayControls, APressOnTheFirstQueryIsNotQueriedAgain) {
    keys.press('P');
    tb::readControls();
    EXPECT_EQ(std::count(keys.queries.begin(), keys.queries.end(), 'P'), 1);
    EXPECT_EQ(tb::world.autoPilot1, 1);
}

TEST_F(PlayControls, APressReportedOnlyToTheSecondQueryCounts) {
    keys.script['O'] = {false, true};
    tb::readControls();
    EXPECT_EQ(tb::world.autoPilot2, 1);
}

TEST_F(PlayControls, FirstFrameUsesUpPressesWithoutActingExceptEscapeOnItsFirstQuery) {
    tb::world.firstFrame = 1;
    for (int key : kKeyOrder)
        if (key != 0x1B) keys.press(key);
    keys.script[0x1B] = {false, true};  // Escape seen only by the second query
    tb::readControls();
    EXPECT_EQ(tb::world.quitRequested, 0);
    EXPECT_EQ(tb::world.autoPilot1, 0);
    EXPECT_EQ(tb::world.autoPilot2, 0);
    EXPECT_EQ(tb::world.coopMode, 1);
    EXPECT_EQ(tb::world.tanks[3].active, 0);
    EXPECT_EQ(tb::world.tanks[0].speed, 0.0f);
    EXPECT_EQ(activeShells(), 0);
    EXPECT_TRUE(sound.played.empty());
    // Each pressed key was asked once and its press is gone.
    EXPECT_EQ(std::count(keys.queries.begin(), keys.queries.end(), 'P'), 1);

    ScriptedKeyboard escapeFirst;
    escapeFirst.press(0x1B);
    platform::setKeyboard(&escapeFirst);
    tb::readControls();
    EXPECT_EQ(tb::world.quitRequested, 1);
}

TEST_F(PlayControls, EscapeOnTheSecondQueryQuitsAfterTheFirstFrame) {
    keys.script[0x1B] = {false, true};
    tb::readControls();
    EXPECT_EQ(tb::world.quitRequested, 1);
}

TEST_F(PlayControls, ToggleKeysFlipTheirFlags) {
    struct Case {
        int key;
        std::uint8_t tb::WorldState::*flag;
    } cases[] = {{'P', &tb::WorldState::autoPilot1}, {'O', &tb::WorldState::autoPilot2}, {'I', &tb::WorldState::coopMode}};
    for (const Case& c : cases) {
        const std::uint8_t before = tb::world.*c.flag;
        keys = ScriptedKeyboard{};
        keys.press(c.key);
        tb::readControls();
        EXPECT_EQ(tb::world.*c.flag, before ? 0 : 1) << c.key;
        keys = ScriptedKeyboard{};
        keys.press(c.key);
        tb::readControls();
        EXPECT_EQ(tb::world.*c.flag, before) << c.key;
    }
}

TEST_F(PlayControls, DigitKeysBringTheirTankIntoPlayUnchanged) {
    const std::pair<int, int> digits[] = {{'1', 3}, {'2', 5}, {'3', 7}, {'4', 9}, {'5', 11},
                                          {'6', 2}, {'7', 4}, {'8', 6}, {'9', 8}, {'0', 10}};
    for (auto [key, tank] : digits) {
        tb::Tank& t = tb::world.tanks[tank];
        t.x = 123.5f;
        t.runIn = 7;
        const tb::Tank before = t;
        keys = ScriptedKeyboard{};
        keys.press(key);
        tb::readControls();
        EXPECT_EQ(t.active, 1) << "key " << char(key);
        EXPECT_EQ(t.x, before.x);
        EXPECT_EQ(t.runIn, before.runIn);
        for (int other = 2; other < tb::kTankCount; ++other)
            if (other != tank && tb::world.tanks[other].active) {
                ADD_FAILURE() << "key " << char(key) << " also brought in tank " << other;
            }
        t.active = 0;
    }
}

TEST_F(PlayControls, DigitKeyTakesATankInPlayOutAndSendsItToItsHangar) {
    tb::Tank& t = tb::world.tanks[7];
    t.active = 1;
    t.x = 10.0f;
    t.y = 20.0f;
    t.speed = 1.0f;
    keys.press('3');
    tb::readControls();
    EXPECT_EQ(t.active, 0);
    EXPECT_EQ(t.x, -500.0f);  // team 1's hangars
    EXPECT_EQ(t.y, 100.0f);  // 200 * (7 / 2) - 500
    EXPECT_EQ(t.runIn, 130);
    EXPECT_EQ(t.speed, 0.0f);
    int parts = 0;
    for (const tb::WreckPart& w : tb::world.wreckParts) parts += w.active;
    EXPECT_EQ(parts, 4);
}

TEST_F(PlayControls, RemovingTankTwoInCoopModeBringsItBackInTheSameFrame) {
    tb::world.cameraZ = -180000.0f;
    tb::world.tanks[2].active = 1;
    tb::world.tanks[2].x = 0.0f;
    tb::world.tanks[2].y = 0.0f;
    keys.press('6');
    tb::readControls();
    EXPECT_EQ(tb::world.tanks[2].active, 0);
    EXPECT_EQ(tb::world.tanks[2].runIn, 130);
    tb::updateWorld();
    EXPECT_EQ(tb::world.tanks[2].active, 1);
}

TEST_F(PlayControls, DrivingKeysStepTheirSettingsAndTakeTheTankBackFromTheComputer) {
    struct Case {
        int key;
        int tank;
        float tb::Tank::*setting;
        float step;
    } cases[] = {{0x61, 0, &tb::Tank::turnRate, -0.01f},  {0x63, 0, &tb::Tank::turnRate, 0.01f},
                 {0x65, 0, &tb::Tank::speed, 0.5f},       {0x62, 0, &tb::Tank::speed, -0.5f},
                 {0x64, 0, &tb::Tank::turretRate, -0.008f}, {0x66, 0, &tb::Tank::turretRate, 0.008f},
                 {'A', 2, &tb::Tank::turnRate, -0.01f},   {'D', 2, &tb::Tank::turnRate, 0.01f},
                 {'W', 2, &tb::Tank::speed, 0.5f},        {'S', 2, &tb::Tank::speed, -0.5f},
                 {'Q', 2, &tb::Tank::turretRate, -0.008f}, {'E', 2, &tb::Tank::turretRate, 0.008f}};
    for (const Case& c : cases) {
        tb::world.autoPilot1 = 1;
        tb::world.autoPilot2 = 1;
        tb::Tank& t = tb::world.tanks[c.tank];
        t.*c.setting = 0.25f;
        keys = ScriptedKeyboard{};
        keys.press(c.key);
        tb::readControls();
        EXPECT_EQ(t.*c.setting, 0.25f + c.step) << "key " << c.key;  // a single-precision step
        EXPECT_EQ(tb::world.autoPilot1, c.tank == 0 ? 0 : 1) << "key " << c.key;
        EXPECT_EQ(tb::world.autoPilot2, c.tank == 0 ? 1 : 0) << "key " << c.key;
        t.*c.setting = 0;
    }
}

TEST_F(PlayControls, ISwitchesPlayerTwoToTankOneForTheLetterKeysOfTheSameFrame) {
    tb::world.autoPilot2 = 1;
    keys.press('I');
    tb::readControls();
    EXPECT_EQ(tb::world.coopMode, 0);
    EXPECT_EQ(tb::world.autoPilot2, 1);  // kept, and now it applies to tank 1

    keys = ScriptedKeyboard{};
    keys.press('I');
    tb::readControls();
    EXPECT_EQ(tb::world.coopMode, 1);

    keys = ScriptedKeyboard{};
    keys.press('I');
    keys.press('W');
    tb::readControls();
    EXPECT_EQ(tb::world.coopMode, 0);
    EXPECT_EQ(tb::world.tanks[1].speed, 0.5f);
    EXPECT_EQ(tb::world.tanks[2].speed, 0.0f);
    EXPECT_EQ(tb::world.autoPilot2, 0);

    keys = ScriptedKeyboard{};
    keys.press('I');
    keys.press('S');
    tb::readControls();
    EXPECT_EQ(tb::world.coopMode, 1);
    EXPECT_EQ(tb::world.tanks[2].speed, -0.5f);
    EXPECT_EQ(tb::world.tanks[1].speed, 0.5f);
}

TEST_F(PlayControls, BothFireKeysInOneFrameFireOneShot) {
    tb::world.autoPilot1 = 1;
    keys.press(0x27);
    keys.press(0x0D);
    tb::readControls();
    EXPECT_EQ(activeShells(), 1);
    EXPECT_EQ(tb::world.tanks[0].reload, 40.0f);
    EXPECT_EQ(tb::world.autoPilot1, 0);
    EXPECT_EQ(sound.played, std::vector<std::string>{"bumm.wav"});
    EXPECT_EQ(tb::world.shells[0].owner, 0);
}

TEST_F(PlayControls, FireKeyWhileReloadingChangesNothing) {
    const int fireKeys[][2] = {{0x27, 0}, {0x0D, 0}, {0x20, 2}, {0x11, 2}};
    for (auto [key, tank] : fireKeys) {
        tb::world.autoPilot1 = 1;
        tb::world.autoPilot2 = 1;
        tb::world.tanks[tank].reload = 0.5f;
        keys = ScriptedKeyboard{};
        keys.press(key);
        tb::readControls();
        EXPECT_EQ(activeShells(), 0) << key;
        EXPECT_EQ(tb::world.autoPilot1, 1) << key;
        EXPECT_EQ(tb::world.autoPilot2, 1) << key;
        EXPECT_TRUE(sound.played.empty()) << key;
        EXPECT_EQ(tb::world.tanks[tank].reload, 0.5f);
    }
}

TEST_F(PlayControls, NegativeZeroReloadCountsAsReady) {
    tb::world.autoPilot2 = 1;
    tb::world.tanks[2].reload = -0.0f;
    keys.press(0x11);
    tb::readControls();
    EXPECT_EQ(activeShells(), 1);
    EXPECT_EQ(tb::world.shells[0].owner, 2);
    EXPECT_EQ(tb::world.autoPilot2, 0);
}

TEST_F(PlayControls, SpaceFiresForTankOneInVersusMode) {
    tb::world.coopMode = 0;
    keys.press(0x20);
    tb::readControls();
    EXPECT_EQ(tb::world.shells[0].active, 1);
    EXPECT_EQ(tb::world.shells[0].owner, 1);
    EXPECT_EQ(tb::world.shells[0].team, 1);
}

}  // namespace
