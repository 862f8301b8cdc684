// The game session: each pass's keys are gathered as one set before the pass
// (the game queries all its keys every pass, so the set tells the pass
// completely), recorded, and answered to the game's queries. Online, a pass
// runs on a guess of the other player's keys ("nothing pressed") and runs
// again when the real ones differ; passes run again are silent and unseen.
#include "app/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "app/digest.h"
#include "app/dump.h"
#include "app/netplay.h"
#include "core/fields.h"
#include "game/frame_loop.h"

namespace tb {

std::string digestHex(std::uint64_t digest) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
    return text;
}

void saveSnapshot(Snapshot& snapshot) { std::memcpy(&snapshot.world, &world, sizeof(WorldState)); }
void restoreSnapshot(const Snapshot& snapshot) { std::memcpy(&world, &snapshot.world, sizeof(WorldState)); }

std::uint64_t stateDigest(const WorldState& state) {
    std::uint64_t h = kDigestStart;
    // Field by field, so that padding between a record's members never counts.
    auto add = [&h](const char*, const auto& v) {
        using T = std::remove_cvref_t<decltype(v)>;
        if constexpr (std::is_array_v<T> && std::is_class_v<std::remove_extent_t<T>>) {
            for (const auto& record : v)
                forEachField(record, [&h](const char*, const auto& x) { h = digestBytes(&x, sizeof x, h); });
        } else {
            h = digestBytes(&v, sizeof v, h);
        }
    };
    forEachField(state, add);
    return h;
}

std::string pictureDigest(const std::uint32_t* frame, int width, int height) {
    return digestHex(digestBytes(frame, sizeof(std::uint32_t) * std::size_t(width) * std::size_t(height)));
}

// Answers the game's queries from the pass's key set: a key in it reports one
// press to its first query.
class Session::PassKeyboard : public platform::Keyboard {
public:
    void beginPass(platform::KeySet keys) { pending_ = keys; }
    bool pressedSinceLastQuery(int virtualKey) override {
        const platform::KeySet bit = platform::keyBit(virtualKey);
        if (!(pending_ & bit)) return false;
        pending_ &= ~bit;
        return true;
    }

private:
    platform::KeySet pending_ = 0;
};

// The front end's sound, silenced while passes run again.
class Session::QuietableSound : public platform::Sound {
public:
    platform::Sound* target = nullptr;
    bool quiet = false;
    void play(const char* fileName) override {
        if (target && !quiet) target->play(fileName);
    }
};

// The last passes: the state before each and its keys, enough of them for any rollback.
struct Session::Ring {
    struct Pass {
        Snapshot before;
        platform::KeySet keys = 0;
    };
    explicit Ring(int passes) : passes(std::size_t(passes) + 2) {}
    Pass& at(std::int64_t pass) { return passes[std::size_t(pass) % passes.size()]; }
    std::vector<Pass> passes;
};

Session::Session() : keyboard_(std::make_unique<PassKeyboard>()), sound_(std::make_unique<QuietableSound>()) {}

Session::~Session() {
    if (!started_) {
        if (writer_) writer_->discard();
        return;
    }
    shutdownDisplay();
    softglide::setSwapHandler(nullptr, nullptr);
    softglide::setRasterEnabled(true);
    platform::setKeyboard(nullptr);
    platform::setSound(nullptr);
}

void Session::playReplay(platform::Replay replay) {
    replay_ = std::move(replay);
    replayNext_ = 0;
}

bool Session::recordTo(const std::string& path, std::string& error) {
    writer_ = std::make_unique<platform::ReplayWriter>();
    if (writer_->open(path, error)) return true;
    writer_.reset();
    return false;
}

void Session::dumpEvery(std::int64_t every, DumpSink sink) {
    dumpEvery_ = every;
    dump_ = std::move(sink);
}

void Session::keepPictures(std::vector<std::int64_t> afterPasses, PictureSink sink) {
    pictures_ = std::move(afterPasses);
    picture_ = std::move(sink);
}

void Session::presentWith(softglide::SwapHandler handler, void* user) {
    present_ = handler;
    presentUser_ = user;
}

void Session::setSound(platform::Sound* sound) { sound_->target = sound; }

void Session::playOnline(Netplay& netplay) { netplay_ = &netplay; }

void Session::onSwap(const std::uint32_t* frame, void* user) {
    const Session& session = *static_cast<const Session*>(user);
    if (session.presenting_ && session.present_) session.present_(frame, session.presentUser_);
}

void Session::start() {
    platform::setKeyboard(keyboard_.get());
    platform::setSound(sound_.get());
    softglide::setSwapHandler(&Session::onSwap, this);
    if (netplay_) stopAfter_ = netplay_->frames();
    if (syncPasses_ > 0 || netplay_)
        ring_ = std::make_unique<Ring>(std::max(syncPasses_, netplay_ ? netplay_->maxPrediction() : 0));
    if (syncPasses_ > 0) latest_ = std::make_unique<Snapshot>();
    world = WorldState{};
    initGame();
    started_ = true;
}

bool Session::finished() const {
    if (!failure_.empty()) return true;
    const bool ended = world.quitRequested || (stopAfter_ >= 0 && passes_ >= stopAfter_);
    // Online, the end counts once both sides' keys up to it are settled.
    return ended && (!netplay_ || confirmed_ == passes_);
}

platform::KeySet Session::keysFor(std::int64_t pass) {
    platform::KeySet keys = 0;
    if (replay_) {
        const auto& passes = replay_->passes;
        while (replayNext_ < passes.size() && passes[replayNext_].pass < pass) ++replayNext_;
        if (replayNext_ < passes.size() && passes[replayNext_].pass == pass)
            for (int code : passes[replayNext_].keys) keys |= platform::keyBit(code);
    }
    if (live_) {
        // Watching a replay, the player can still leave.
        for (const platform::GameKey& k : platform::kGameKeys)
            if ((!replay_ || k.code == platform::vk::Escape) && live_->pressedSinceLastQuery(k.code))
                keys |= platform::keyBit(k.code);
    }
    return keys;
}

// One pass of the frame loop with these keys. A pass that is not shown draws
// no pixels and plays no sound; the drawing's effects on the game all happen.
void Session::playPass(platform::KeySet keys, bool shown) {
    inPass_ = true;
    bool raster = pixels_ && shown;
    if (raster && !pictures_.empty())
        raster = std::any_of(pictures_.begin(), pictures_.end(),
                             [this](std::int64_t p) { return passes_ < p && passes_ + 3 >= p; });
    softglide::setRasterEnabled(raster);
    presenting_ = shown;
    sound_->quiet = !shown;
    keyboard_->beginPass(keys);
    tb::runPass();
    inPass_ = false;
}

void Session::step() {
    if (netplay_) return stepOnline();
    const std::int64_t pass = passes_;
    const platform::KeySet keys = keysFor(pass);
    if (ring_) {
        Ring::Pass& h = ring_->at(pass);
        saveSnapshot(h.before);
        h.keys = keys;
    }
    playPass(keys, true);
    ++passes_;
    confirm(pass, keys, world);
    if (picture_ && softglide::rasterEnabled() &&
        std::find(pictures_.begin(), pictures_.end(), passes_) != pictures_.end())
        picture_(passes_, softglide::frontBuffer());
    if (syncPasses_ > 0) checkSync();
}

// Runs passes `from` .. passes_ - 1 again, unseen, from the snapshot before
// `from`, with the keys keysOf(pass); a quit ends them where it happens.
// check(pass) sees each state before the snapshot of that pass is taken again.
template <class KeysOf, class Check>
void Session::runAgainFrom(std::int64_t from, KeysOf keysOf, Check check) {
    const std::int64_t end = passes_;
    restoreSnapshot(ring_->at(from).before);
    for (passes_ = from; passes_ < end && !world.quitRequested; ++passes_) {
        if (passes_ > from) {
            check(passes_);
            saveSnapshot(ring_->at(passes_).before);
        }
        playPass(keysOf(passes_), false);
    }
}

// One pass online, or none while the game waits for the other player. This
// side's keys are taken inputDelay passes ahead of the pass they act in (a
// replay's at their own pass), and the other side's keys are guessed as
// "nothing" for at most maxPrediction passes.
void Session::stepOnline() {
    Netplay& net = *netplay_;
    const bool live = live_ && !replay_;
    while (net.localEnd() <= passes_ + net.inputDelay())
        if (!net.addLocal(live && net.localEnd() < net.inputDelay() ? 0 : keysFor(net.localEnd()))) break;
    net.poll(waiting_ ? 1 : 0, passes_);  // this side's new keys out, the other side's in
    if (const std::int64_t from = net.takeRollback(); from >= 0) {
        net.countRollback(passes_ - from);
        runAgainFrom(
            from, [&net](std::int64_t pass) { return net.keys(pass); }, [](std::int64_t) {});
    }
    const bool ended = world.quitRequested || (stopAfter_ >= 0 && passes_ >= stopAfter_);
    waiting_ = ended || net.failed() || net.peerPaused() || net.localEnd() <= passes_ ||
               passes_ - net.remoteEnd() >= net.maxPrediction();
    if (!waiting_) {
        saveSnapshot(ring_->at(passes_).before);
        playPass(net.keys(passes_), true);
        ++passes_;
    } else {
        // A pass held up for the other side's keys counts once, however long it waits.
        if (!ended && !net.peerPaused() && waitedPass_ != passes_) {
            net.countWait();
            waitedPass_ = passes_;
        }
        if (idle_) idle_();
    }
    // Settled: both sides' keys known, and no pass before them waiting to run again
    // (keys may have come in while the front end kept the link alive during the pass).
    std::int64_t settled = std::min(net.remoteEnd(), passes_);
    if (const std::int64_t again = net.pendingRollback(); again >= 0) settled = std::min(settled, again);
    for (; confirmed_ < settled; ++confirmed_) {
        const WorldState& after = confirmed_ + 1 == passes_ ? world : ring_->at(confirmed_ + 1).before.world;
        confirm(confirmed_, net.keys(confirmed_), after);
    }
    net.forgetBefore(confirmed_);
    if (net.failed()) failure_ = net.failure();
    if (net.peerGone() && waiting_ && !ended && failure_.empty()) failure_ = net.goneReason();
}

// The keys of a pass are settled: they go to the recording, and the state after the pass to the dump.
void Session::confirm(std::int64_t pass, platform::KeySet keys, const WorldState& after) {
    if (keys) {
        std::vector<int> codes;
        for (const platform::GameKey& k : platform::kGameKeys)
            if (keys & platform::keyBit(k.code)) codes.push_back(k.code);
        recorded_.passes.push_back({pass, std::move(codes)});
        if (writer_) writer_->append(pass, keys);
    }
    if (dump_ && dumpEvery_ > 0 && (pass + 1) % dumpEvery_ == 0) {
        dump_(formatStateDump(pass + 1, after));
        lastDumped_ = pass + 1;
    }
    if (netplay_ && (pass + 1) % Netplay::kCheckEvery == 0) {
        checkDumps_[pass + 1] = formatStateDump(pass + 1, after);
        while (checkDumps_.size() > 4) checkDumps_.erase(checkDumps_.begin());
        netplay_->check(pass + 1, stateDigest(after));
    }
}

// Rolls back syncPasses_ passes and runs them again without showing them: each
// must give, byte for byte, the state it gave the first time.
void Session::checkSync() {
    const std::int64_t from = passes_ - syncPasses_;
    if (from < 0) return;
    saveSnapshot(*latest_);
    auto compare = [this, from](std::int64_t passes, const Snapshot& first) {
        if (std::memcmp(&world, &first.world, sizeof(WorldState)) != 0 && failure_.empty())
            failure_ = "sync test: the state after pass " + std::to_string(passes) +
                       " differs when the game is rolled back to pass " + std::to_string(from) + " and run again";
    };
    runAgainFrom(
        from, [this](std::int64_t pass) { return ring_->at(pass).keys; },
        [&](std::int64_t pass) { compare(pass, ring_->at(pass).before); });
    compare(passes_, *latest_);
}

void Session::keepAlive() {
    if (netplay_) netplay_->poll(0, passes_ + (inPass_ ? 1 : 0));
}

void Session::setPaused(bool paused) {
    if (netplay_) netplay_->setPaused(paused);
}

bool Session::peerPaused() const { return netplay_ && netplay_->peerPaused(); }

double Session::passesAhead() const { return netplay_ ? netplay_->passesAhead(passes_) : 0.0; }

std::string Session::ending() const {
    if (!failure_.empty()) return failure_;
    if (netplay_ && world.quitRequested && passes_ > 0) {
        const platform::KeySet escape = platform::keyBit(platform::vk::Escape);
        if ((netplay_->keys(passes_ - 1) & escape) && !(netplay_->localKeys(passes_ - 1) & escape))
            return "player " + std::to_string(3 - netplay_->player()) + " left the game";
    }
    return {};
}

// After a desync: this side's replay of the game so far and its state after
// the first pass found to differ, for the headless runner to look into.
void Session::writeDesyncFiles(std::string& message) {
    const std::int64_t pass = netplay_->desyncAfter();
    const std::string stem =
        "tankbattle-desync-" + std::to_string(pass) + "-player" + std::to_string(netplay_->player());
    std::string error;
    message += "; written: ";
    if (platform::saveReplay(stem + ".replay", recorded_, error))
        message += stem + ".replay";
    else
        message += error;
    if (auto dump = checkDumps_.find(pass); dump != checkDumps_.end()) {
        const std::string text = formatDumpHeader() + "\n" + dump->second + "\n";
        if (std::FILE* f = std::fopen((stem + ".jsonl").c_str(), "wb")) {
            const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
            if (std::fclose(f) == 0 && ok) message += ", " + stem + ".jsonl";
        }
    }
}

bool Session::finish(std::string& error) {
    // Online, only the settled passes count: a game that stopped early ends at the last of them.
    const std::int64_t end = netplay_ ? confirmed_ : passes_;
    if (dump_ && lastDumped_ != end) {
        if (end == passes_)
            dump_(formatStateDump(end));
        else if (end > 0 && ring_ && passes_ - end < std::int64_t(ring_->passes.size()))
            dump_(formatStateDump(end, ring_->at(end).before.world));
    }
    lastDumped_ = end;
    if (netplay_) netplay_->finish(end);
    std::string recordingError;
    const bool recorded = !writer_ || writer_->finish(recordingError);
    writer_.reset();
    error = failure_;
    if (netplay_ && netplay_->desyncAfter() >= 0) writeDesyncFiles(error);
    if (!recorded) error += (error.empty() ? "" : "; ") + recordingError;
    return recorded && failure_.empty();
}

}  // namespace tb
