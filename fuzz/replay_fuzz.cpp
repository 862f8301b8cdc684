// Fuzzes the replay parser: any text either fails with a line-numbered message
// or parses to passes that ascend and name game keys; a parsed replay written
// out parses again to the same passes, and plays back as a keyboard.
#include <string>

#include "fuzz_common.h"
#include "platform/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::Replay replay;
    std::string error;
    if (!platform::parseReplay(text, replay, error)) {
        fuzz::require(!error.empty());
        return 0;
    }
    std::int64_t last = -1;
    for (const platform::ReplayPass& p : replay.passes) {
        fuzz::require(p.pass > last);
        last = p.pass;
        for (int key : p.keys) fuzz::require(platform::replayKeyName(key) != nullptr);
    }

    platform::Replay again;
    std::string error2;
    fuzz::require(platform::parseReplay(platform::formatReplay(replay), again, error2));
    fuzz::require(again.passes.size() == replay.passes.size());
    for (std::size_t i = 0; i < replay.passes.size(); ++i) {
        fuzz::require(again.passes[i].pass == replay.passes[i].pass);
        fuzz::require(again.passes[i].keys == replay.passes[i].keys);
    }

    // Play back the first passes: each listed key reports exactly one press in its pass.
    platform::ReplayKeyboard keyboard(replay);
    for (std::size_t i = 0; i < replay.passes.size() && i < 64; ++i) {
        keyboard.beginPass(replay.passes[i].pass);
        for (int key : replay.passes[i].keys) {
            fuzz::require(keyboard.pressedSinceLastQuery(key));
            fuzz::require(!keyboard.pressedSinceLastQuery(key));
        }
    }
    return 0;
}
