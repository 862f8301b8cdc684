// Player controls: the first-frame rule, the double key query, the fixed key
// order and the fire keys with their reload test.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/world.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "play/play.h"
#include "sim/sim.h"
#include "test_support.h"

namespace {

// The 30 game keys in the order the controls handle them.
const std::vector<int>& kKeyOrder = platform::gameKeyCodes();

// Answers the n-th query of a key from a script (no press when the script runs out) and logs every query.
class ScriptedKeyboard : public platform::Keyboard {
public:
    std::map<int, std::vector<bool>> script;
    std::vector<int> queries;

    void press(int key) { script[key] = {true}; }  // reported to the first query of the key
    int asked(int key) const { return int(std::count(queries.begin(), queries.end(), key)); }
    bool pressedSinceLastQuery(int key) override {
        const std::size_t n = std::size_t(asked(key));
        queries.push_back(key);
        const auto it = script.find(key);
        return it != script.end() && n < it->second.size() && it->second[n];
    }
};

class PlayControls : public ::testing::Test {
protected:
    ScriptedKeyboard keys;
    tbtest::SoundLog sound;

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
        platform::setKeyboard(&keys);
    }
    void TearDown() override { platform::setKeyboard(nullptr); }
    // One frame with only these keys pressed.
    void frame(std::initializer_list<int> pressed) {
        keys = ScriptedKeyboard{};
        for (int key : pressed) keys.press(key);
        tb::readControls();
    }
    static int activeShells() {
        int n = 0;
        for (const tb::Shell& s : tb::world.shells) n += s.active;
        return n;
    }
};

TEST_F(PlayControls, KeysAreQueriedInTheFixedOrderAndAgainOnlyWhenNotPressed) {
    std::vector<int> expected;
    for (int key : kKeyOrder) expected.insert(expected.end(), {key, key});
    for (int firstFrame : {1, 0}) {
        tb::world.firstFrame = std::uint8_t(firstFrame);
        frame({});
        EXPECT_EQ(keys.queries, expected) << "firstFrame " << firstFrame;
    }
    frame({'P'});
    EXPECT_EQ(keys.asked('P'), 1);
    EXPECT_EQ(tb::world.autoPilot1, 1);
    keys = ScriptedKeyboard{};
    keys.script['O'] = {false, true};  // a press reported only to the second query counts
    tb::readControls();
    EXPECT_EQ(tb::world.autoPilot2, 1);
}

TEST_F(PlayControls, FirstFrameUsesUpPressesWithoutActingExceptEscapeOnItsFirstQuery) {
    struct Case {
        std::uint8_t firstFrame;
        bool escapeOnFirstQuery;
        std::uint8_t quits;
    };
    const Case cases[] = {{1, false, 0}, {1, true, 1}, {0, false, 1}, {0, true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "firstFrame " << int(c.firstFrame) << " first query "
                                        << c.escapeOnFirstQuery);
        SetUp();
        tb::world.firstFrame = c.firstFrame;
        keys = ScriptedKeyboard{};
        for (int key : kKeyOrder) keys.press(key);
        keys.script[0x1B] = {c.escapeOnFirstQuery, true};
        tb::readControls();
        EXPECT_EQ(tb::world.quitRequested, c.quits);
        if (c.firstFrame) {
            EXPECT_EQ(tb::world.autoPilot1, 0);
            EXPECT_EQ(tb::world.coopMode, 1);
            EXPECT_EQ(tb::world.tanks[3].active, 0);
            EXPECT_EQ(tb::world.tanks[0].speed, 0.0f);
            EXPECT_EQ(activeShells(), 0);
            EXPECT_TRUE(sound.played.empty());
            EXPECT_EQ(keys.asked('P'), 1);  // asked once: its press is used up
        }
    }
}

TEST_F(PlayControls, FireKeysFireOnceWhenTheReloadIsZero) {
    struct Case {
        std::initializer_list<int> keys;
        std::uint8_t coop;
        float reload;  // of the firing player's tank
        int owner;     // -1: no shot
    };
    const Case cases[] = {
        {{0x27, 0x0D}, 1, 0, 0},  // both keys in one frame: the second finds the reload at 40
        {{0x27}, 1, 0.5f, -1},   {{0x0D}, 1, 0.5f, -1}, {{0x20, 0x11}, 1, 0, 2},
        {{0x20}, 1, 0.5f, -1},   {{0x11}, 1, -0.0f, 2},  // -0 counts as ready
        {{0x20}, 0, 0, 1},                               // versus mode: player 2 fires tank 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first key " << *c.keys.begin() << " coop " << int(c.coop) << " reload "
                                        << c.reload);
        SetUp();
        sound.played.clear();
        tb::world.coopMode = c.coop, tb::world.autoPilot1 = 1, tb::world.autoPilot2 = 1;
        const int firing = *c.keys.begin() == 0x27 || *c.keys.begin() == 0x0D ? 0 : (c.coop ? 2 : 1);
        tb::world.tanks[firing].reload = c.reload;
        frame(c.keys);
        EXPECT_EQ(activeShells(), c.owner >= 0 ? 1 : 0);
        EXPECT_EQ(sound.played.size(), c.owner >= 0 ? 1u : 0u);
        EXPECT_EQ(tb::world.tanks[firing].reload, c.owner >= 0 ? 40.0f : c.reload);
        EXPECT_EQ(tb::world.autoPilot1, c.owner == 0 ? 0 : 1);
        EXPECT_EQ(tb::world.autoPilot2, c.owner > 0 ? 0 : 1);
        if (c.owner >= 0) {
            EXPECT_EQ(tb::world.shells[0].owner, c.owner);
            EXPECT_EQ(tb::world.shells[0].team, c.owner % 2);
        }
    }
}

}  // namespace
