// The game session: each pass's keys are gathered as one set before the pass
// (the game queries all its keys every pass, so the set tells the pass
// completely), recorded, and answered to the game's queries; passes run again
// after a rollback are silent and unseen.
#include "app/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "app/digest.h"
#include "app/dump.h"
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

std::uint64_t stateDigest() {
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
    forEachField(world, add);
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

// The last passes of the sync test: the state before each, its keys, and the
// digest of the state after it.
struct Session::History {
    struct Pass {
        Snapshot before;
        platform::KeySet keys = 0;
        std::uint64_t after = 0;
    };
    explicit History(int passes) : ring(std::size_t(passes) + 1) {}
    Pass& at(std::int64_t pass) { return ring[std::size_t(pass) % ring.size()]; }
    std::vector<Pass> ring;
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

void Session::onSwap(const std::uint32_t* frame, void* user) {
    const Session& session = *static_cast<const Session*>(user);
    if (session.presenting_ && session.present_) session.present_(frame, session.presentUser_);
}

void Session::start() {
    platform::setKeyboard(keyboard_.get());
    platform::setSound(sound_.get());
    softglide::setSwapHandler(&Session::onSwap, this);
    if (syncPasses_ > 0) history_ = std::make_unique<History>(syncPasses_);
    world = WorldState{};
    initGame();
    started_ = true;
}

bool Session::finished() const {
    return !failure_.empty() || world.quitRequested || (stopAfter_ >= 0 && passes_ >= stopAfter_);
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
    bool raster = pixels_ && shown;
    if (raster && !pictures_.empty())
        raster = std::any_of(pictures_.begin(), pictures_.end(),
                             [this](std::int64_t p) { return passes_ < p && passes_ + 3 >= p; });
    softglide::setRasterEnabled(raster);
    presenting_ = shown;
    sound_->quiet = !shown;
    keyboard_->beginPass(keys);
    tb::runPass();
}

void Session::step() {
    const std::int64_t pass = passes_;
    const platform::KeySet keys = keysFor(pass);
    if (history_) {
        History::Pass& h = history_->at(pass);
        saveSnapshot(h.before);
        h.keys = keys;
    }
    playPass(keys, true);
    ++passes_;
    confirm(pass, keys);
    if (picture_ && softglide::rasterEnabled() && std::find(pictures_.begin(), pictures_.end(), passes_) != pictures_.end())
        picture_(passes_, softglide::frontBuffer());
    if (history_) checkSync();
}

// The keys of a pass are settled: they go to the recording, and the state after the pass to the dump.
void Session::confirm(std::int64_t pass, platform::KeySet keys) {
    if (keys) {
        std::vector<int> codes;
        for (const platform::GameKey& k : platform::kGameKeys)
            if (keys & platform::keyBit(k.code)) codes.push_back(k.code);
        recorded_.passes.push_back({pass, std::move(codes)});
        if (writer_) writer_->append(pass, keys);
    }
    if (dump_ && dumpEvery_ > 0 && (pass + 1) % dumpEvery_ == 0) {
        dump_(formatStateDump(pass + 1));
        lastDumped_ = pass + 1;
    }
}

// Rolls back syncPasses_ passes and runs them again without showing them: each
// must give the state it gave the first time.
void Session::checkSync() {
    History::Pass& last = history_->at(passes_ - 1);
    last.after = stateDigest();
    const std::int64_t from = passes_ - syncPasses_;
    if (from < 0) return;
    restoreSnapshot(history_->at(from).before);
    for (std::int64_t pass = from; pass < passes_; ++pass) {
        History::Pass& h = history_->at(pass);
        if (pass > from) saveSnapshot(h.before);
        playPass(h.keys, false);
        if (const std::uint64_t again = stateDigest(); again != h.after && failure_.empty())
            failure_ = "the state after pass " + std::to_string(pass + 1) + " differs when run again from pass " +
                       std::to_string(from) + " (" + digestHex(h.after) + ", then " + digestHex(again) + ")";
    }
}

bool Session::finish(std::string& error) {
    if (dump_ && lastDumped_ != passes_) dump_(formatStateDump(passes_));
    lastDumped_ = passes_;
    if (writer_ && !writer_->finish(error)) return false;
    writer_.reset();
    return true;
}

}  // namespace tb
