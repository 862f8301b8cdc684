// One game as every runner plays it: where each pass's keys come from (the
// player, a replay, the other player's game online), where they go (a
// recording), the pass loop, the state dumps and the pictures kept, and the
// rollback of passes run on a guess. A front end adds only its pacing, its
// presentation and its settings.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/world.h"
#include "platform/glide/softglide.h"
#include "platform/keyboard.h"
#include "platform/replay.h"
#include "platform/sound.h"

namespace tb {

// Everything that decides the future of a game: the world record, the random
// generator with it. Restoring a snapshot and running the same passes again
// gives the same worlds.
struct Snapshot {
    WorldState world;
};
void saveSnapshot(Snapshot& snapshot);
void restoreSnapshot(const Snapshot& snapshot);

// A digest of what the state dump holds (every field that changes while the game runs).
std::uint64_t stateDigest(const WorldState& state = world);

class Netplay;

// A digest of a picture's 0xAARRGGBB words as stored, as 16 hex digits.
std::string pictureDigest(const std::uint32_t* frame, int width, int height);

class Session {
public:
    using DumpSink = std::function<void(const std::string& line)>;
    using PictureSink = std::function<void(std::int64_t pass, const std::uint32_t* frame)>;

    Session();
    ~Session();  // closes the display once the game has started
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // What to play, set before start(). The player's keys; with a replay as
    // well, the replay's keys and the player's Escape alone.
    void playLive(platform::Keyboard& keyboard) { live_ = &keyboard; }
    void playReplay(platform::Replay replay);
    // Writes the game's keys to `path` as it goes (platform::ReplayWriter).
    bool recordTo(const std::string& path, std::string& error);
    void stopAfter(std::int64_t passes) { stopAfter_ = passes; }
    // The state dump line after every `every`-th pass (0: none) and after the last.
    void dumpEvery(std::int64_t every, DumpSink sink);
    // Without pixels the drawing's effects on the game all happen, nothing is rasterised.
    void setPixels(bool pixels) { pixels_ = pixels; }
    // Rasterises only the passes that lead up to these pictures and hands each
    // one over after its pass. A frame is cleared after its swap, so three passes are enough.
    void keepPictures(std::vector<std::int64_t> afterPasses, PictureSink sink);
    // After every pass, rolls the game back `passes` passes and runs them again,
    // checking that each gives the state it gave the first time.
    void syncTest(int passes) { syncPasses_ = passes; }
    // Plays online: this side's keys (live or from the replay) are its
    // player's, the other player's come from `netplay`, which must be connected.
    void playOnline(Netplay& netplay);
    // What the front end does while the game waits for the other player (show, pump events).
    void whileWaiting(std::function<void()> idle) { idle_ = std::move(idle); }
    // Shows a pass's frame; passes run again after a rollback are never shown.
    void presentWith(softglide::SwapHandler handler, void* user);
    // The sound the game plays into (none: silence); may change at any time.
    void setSound(platform::Sound* sound);

    // Starts the game afresh: a new world, the display, the assets.
    void start();
    bool finished() const;
    void step();
    void run() {
        while (!finished()) step();
    }
    // Writes the last dump and puts the recording in place; false with the
    // reason when the recording could not be written or the game went wrong
    // (the sync test, online play).
    bool finish(std::string& error);
    // Online: keeps the link alive while the front end holds the game (paused).
    void keepAlive();
    // Online: this side's player paused the game or went on.
    void setPaused(bool paused);
    bool peerPaused() const;
    // Online: how many passes this side runs ahead of the other (negative: behind).
    double passesAhead() const;
    // How the game ended, when it was not by this side's own Escape or --frames.
    std::string ending() const;

    std::int64_t passes() const { return passes_; }
    // The keys of the game so far, as a replay.
    const platform::Replay& recorded() const { return recorded_; }
    // Why the sync test stopped the game; empty while all is well.
    const std::string& failure() const { return failure_; }

private:
    class PassKeyboard;
    class QuietableSound;
    struct Ring;
    static void onSwap(const std::uint32_t* frame, void* user);

    platform::KeySet keysFor(std::int64_t pass);
    void playPass(platform::KeySet keys, bool shown);
    void stepOnline();
    template <class KeysOf, class Check>
    void runAgainFrom(std::int64_t pass, KeysOf keysOf, Check check);
    void confirm(std::int64_t pass, platform::KeySet keys, const WorldState& after);
    void checkSync();
    void writeDesyncFiles(std::string& message);

    platform::Keyboard* live_ = nullptr;
    std::optional<platform::Replay> replay_;
    std::size_t replayNext_ = 0;
    std::unique_ptr<platform::ReplayWriter> writer_;
    platform::Replay recorded_;
    std::int64_t stopAfter_ = -1, passes_ = 0;
    std::int64_t dumpEvery_ = 0, lastDumped_ = -1;
    DumpSink dump_;
    bool pixels_ = true;
    std::vector<std::int64_t> pictures_;
    PictureSink picture_;
    int syncPasses_ = 0;
    std::unique_ptr<Ring> ring_;
    std::unique_ptr<Snapshot> latest_;  // the sync test's state after the pass just run
    Netplay* netplay_ = nullptr;
    std::int64_t confirmed_ = 0;    // online: passes whose keys both sides have settled
    std::int64_t waitedPass_ = -1;  // online: the last pass counted as held up
    std::map<std::int64_t, std::string> checkDumps_;
    std::function<void()> idle_;
    bool inPass_ = false, waiting_ = false;
    std::string failure_;
    softglide::SwapHandler present_ = nullptr;
    void* presentUser_ = nullptr;
    bool presenting_ = false;
    std::unique_ptr<PassKeyboard> keyboard_;
    std::unique_ptr<QuietableSound> sound_;
    bool started_ = false;
};

}  // namespace tb
