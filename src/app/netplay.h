// Online play's link between two games: the handshake that makes sure both
// play the same game, each side's keys pass by pass (its own player's keys and
// the shared ones), the other side's keys that arrived after their pass was run
// (so it must be run again), pausing, and the digests that catch two games
// drifting apart. What the world does with the keys is the session's business.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/packets.h"
#include "platform/keyboard.h"
#include "platform/net/transport.h"

namespace tb {

class Netplay {
public:
    enum class Role { Host, Guest };
    struct Setup {
        Role role = Role::Host;
        int inputDelay = 2;        // passes between a key press and the pass it acts in
        int maxPrediction = 8;     // passes this side may run beyond the other side's keys
        std::int64_t frames = -1;  // the most passes this side plays; -1: until Escape
        std::string version;       // the game's version
        std::uint64_t data = 0;    // digest of the data files
    };
    struct Stats {
        std::int64_t rollbacks = 0, passesRunAgain = 0, waits = 0, malformed = 0;
        int roundTripMs = 0;
        platform::net::Traffic traffic;
    };

    // Keys remembered per side: far more than the passes a side may run ahead.
    static constexpr std::int64_t kWindow = 256;
    static constexpr int kCheckEvery = 60;

    Netplay(std::unique_ptr<platform::net::Transport> transport, Setup setup);

    // The handshake: call until connected() or failed().
    void connect(int timeoutMs);
    bool connected() const { return connected_; }
    bool failed() const { return !failure_.empty(); }
    // Why online play stopped (the handshake refused, the other game gone, the games differ).
    const std::string& failure() const { return failure_; }
    std::string peerName() const { return transport_->peerName(); }
    // The other game is gone: the game goes on as far as its keys that did arrive reach.
    bool peerGone() const { return peerGone_; }
    const std::string& goneReason() const { return goneReason_; }

    // Player 1 is the host's, player 2 the guest's.
    int player() const { return setup_.role == Role::Host ? 1 : 2; }
    // The keys this side plays: its player's and the shared ones.
    platform::KeySet ownKeys() const;
    // The passes both sides play: the fewer of the two sides' limits.
    std::int64_t frames() const { return frames_; }
    int inputDelay() const { return setup_.inputDelay; }
    int maxPrediction() const { return setup_.maxPrediction; }

    // This side's keys for the next pass that has none yet; false when the
    // other side has fallen so far behind that no more can be kept.
    bool addLocal(platform::KeySet keys);
    std::int64_t localEnd() const { return localEnd_; }
    // The other side's keys are known for every pass before this one.
    std::int64_t remoteEnd() const { return remoteEnd_; }
    // Both sides' keys of a pass, the other side's taken as "nothing" while unknown.
    platform::KeySet keys(std::int64_t pass) const;
    // This side's own keys of a pass.
    platform::KeySet localKeys(std::int64_t pass) const { return local_[std::size_t(pass % kWindow)]; }
    // Passes before `pass` need not be kept any more.
    void forgetBefore(std::int64_t pass) { floor_ = pass; }

    // Takes in what has arrived (waiting at most timeoutMs for it) and sends
    // this side's keys when new ones are due; `present` is the next pass this side runs.
    void poll(int timeoutMs, std::int64_t present);
    // The first pass already run whose other side's keys have arrived since and
    // were not "nothing"; -1 when there is none. Taking it clears it.
    std::int64_t takeRollback();
    std::int64_t pendingRollback() const { return rollback_; }
    // How many passes this side is ahead of the other (negative: behind), by
    // the last pass the other side reported and half the round trip.
    double passesAhead(std::int64_t present) const;

    // The digest of the state after `passes` passes, to compare with the other side's.
    void check(std::int64_t passes, std::uint64_t digest);
    // The passes after which the two games differ; -1 while they agree.
    std::int64_t desyncAfter() const { return desyncAfter_; }

    void setPaused(bool paused);
    bool peerPaused() const { return peerPaused_; }

    // At the end of the game: keeps the link until the other side holds this
    // side's keys for `passes` passes (at most a few seconds), then closes it.
    void finish(std::int64_t passes);
    // Counts a pass held up for the other side's keys, and a rollback of this many passes.
    void countWait() { ++stats_.waits; }
    void countRollback(std::int64_t passes) {
        ++stats_.rollbacks;
        stats_.passesRunAgain += passes;
    }
    Stats stats() const;

private:
    void handle(const platform::net::Event& event, std::int64_t present);
    void handle(const net::Greeting& greeting);
    void handle(const net::Inputs& inputs, std::int64_t present);
    void handle(const net::Check& check);
    void send(platform::net::Channel channel, const net::Message& message);
    void sendInputs(std::int64_t present);
    void fail(const std::string& why);
    net::Greeting greeting(bool welcome) const;

    std::unique_ptr<platform::net::Transport> transport_;
    Setup setup_;
    bool connected_ = false, linked_ = false, peerGone_ = false, peerPaused_ = false;
    std::string failure_, goneReason_;
    std::int64_t frames_ = -1;
    platform::KeySet local_[kWindow] = {}, remote_[kWindow] = {};
    std::int64_t localEnd_ = 0, remoteEnd_ = 0, peerAck_ = 0, floor_ = 0, rollback_ = -1;
    std::int64_t sentEnd_ = -1, peerPresent_ = 0;
    std::uint32_t lastSentMs_ = 0, peerPresentMs_ = 0, lastHeardMs_ = 0;
    std::map<std::int64_t, std::uint64_t> ourChecks_, theirChecks_;
    std::int64_t desyncAfter_ = -1;
    Stats stats_;
};

// A digest of the data files that decide the game (the model and both bitmaps).
std::uint64_t gameDataDigest();

}  // namespace tb
