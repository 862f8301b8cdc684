// Online play's link: the handshake, the keys of both sides, pausing and checks.
// Keys go on the unreliable channel: every message repeats all of this side's
// keys that the other side has not yet acknowledged, so a lost message costs
// nothing but the wait for the next one. The rest goes on the reliable channel.
#include "app/netplay.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/digest.h"
#include "platform/stream.h"

namespace tb {
namespace {

namespace link = platform::net;
using platform::keyBit;
using platform::KeySet;

constexpr double kMsPerPass = 1000.0 / 60.0;
// While no new keys are due (waiting, paused), this side still tells the other
// what it holds this often.
constexpr std::uint32_t kResendMs = 50;
constexpr std::uint32_t kVanishedMs = 4900;

KeySet keysOf(std::initializer_list<int> codes) {
    KeySet keys = 0;
    for (int code : codes) keys |= keyBit(code);
    return keys;
}

namespace vk = platform::vk;
const KeySet kSharedKeys = keysOf({vk::Escape, 'P', 'O', 'I', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0'});
const KeySet kPlayer1Keys =
    keysOf({vk::Numpad1, vk::Numpad3, vk::Numpad5, vk::Numpad2, vk::Numpad4, vk::Numpad6, vk::Right, vk::Enter});
const KeySet kPlayer2Keys = keysOf({'A', 'D', 'W', 'S', 'Q', 'E', vk::Space, vk::Ctrl});

}  // namespace

std::uint64_t gameDataDigest() {
    std::uint64_t h = kDigestStart;
    for (const char* name : {"Tank.ddo", "tex.bmp", "tex2.bmp"}) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        h = digestBytes(name, std::char_traits<char>::length(name) + 1, h);
        if (platform::readWholeFile(platform::dataPath(name), bytes, error))
            h = digestBytes(bytes.data(), bytes.size(), h);
    }
    return h;
}

Netplay::Netplay(std::unique_ptr<link::Transport> transport, Setup setup)
    : transport_(std::move(transport)), setup_(std::move(setup)), frames_(setup_.frames) {}

KeySet Netplay::ownKeys() const { return kSharedKeys | (setup_.role == Role::Host ? kPlayer1Keys : kPlayer2Keys); }

net::Greeting Netplay::greeting(bool welcome) const {
    net::Greeting g;
    g.welcome = welcome;
    g.version = setup_.version;
    g.data = setup_.data;
    g.frames = setup_.frames;
    return g;
}

void Netplay::send(link::Channel channel, const net::Message& message) {
    const std::vector<std::uint8_t> bytes = net::encode(message);
    transport_->send(channel, bytes.data(), bytes.size());
}

void Netplay::fail(const std::string& why) {
    if (failure_.empty()) failure_ = why;
}

void Netplay::connect(int timeoutMs) { poll(timeoutMs, 0); }

void Netplay::poll(int timeoutMs, std::int64_t present) {
    if (connected_ && !peerGone_) sendInputs(present);
    for (int wait = timeoutMs;; wait = 0) {
        const link::Event event = transport_->poll(wait);
        if (event.kind == link::Event::Kind::None) break;
        handle(event, present);
    }
    if (connected_ && !peerGone_ && transport_->nowMs() - lastHeardMs_ > kVanishedMs + 2000) {
        peerGone_ = true;
        goneReason_ = "the other player vanished: nothing heard for 5 s";
    }
}

void Netplay::handle(const link::Event& event, std::int64_t present) {
    using Kind = link::Event::Kind;
    if (event.kind == Kind::Connected) {
        linked_ = true;
        lastHeardMs_ = transport_->nowMs();
        if (setup_.role == Role::Guest) send(link::Channel::Reliable, greeting(false));
        return;
    }
    if (event.kind == Kind::Disconnected) {
        const bool wasLinked = linked_;
        peerGone_ = true;
        linked_ = false;
        // Once playing, the keys that did arrive still play: the game may well end within them.
        if (!wasLinked)
            fail("no answer from the host (is the game there waiting, and the UDP port open?)");
        else if (transport_->nowMs() - lastHeardMs_ >= kVanishedMs)
            goneReason_ = "the other player vanished: nothing heard for 5 s";
        else
            goneReason_ = "the other player's game closed the connection";
        if (!connected_ && !goneReason_.empty()) fail(goneReason_);
        return;
    }
    lastHeardMs_ = transport_->nowMs();
    net::Message message;
    if (!net::decode(event.data.data(), event.data.size(), message)) {
        ++stats_.malformed;  // never trusted, never fatal
        return;
    }
    if (const auto* g = std::get_if<net::Greeting>(&message)) return handle(*g);
    if (const auto* r = std::get_if<net::Refusal>(&message)) {
        if (setup_.role == Role::Guest && !connected_) return fail("the host refused the game: " + r->reason);
        ++stats_.malformed;  // only a host refuses, and only before the game
        return;
    }
    if (!connected_) return;  // nothing else counts before the handshake
    if (const auto* in = std::get_if<net::Inputs>(&message)) return handle(*in, present);
    if (const auto* c = std::get_if<net::Check>(&message)) return handle(*c);
    if (const auto* p = std::get_if<net::Pause>(&message)) peerPaused_ = p->paused;
}

// The host checks the guest's hello and answers; the guest checks the welcome.
// Both sides then play the fewer passes of their two limits.
void Netplay::handle(const net::Greeting& g) {
    const bool expected = setup_.role == Role::Host ? !g.welcome : g.welcome;
    if (!expected || connected_) {
        ++stats_.malformed;
        return;
    }
    // What differs, told from one side ("this one") about the other.
    auto differs = [&g, this](bool fromThere) {
        auto versus = [fromThere](const std::string& theirs, const std::string& ours) {
            return fromThere ? ours + " (this one " + theirs + ")" : theirs + " (this one " + ours + ")";
        };
        if (g.protocol != net::kProtocolVersion)
            return "online play protocol " + versus(std::to_string(g.protocol), std::to_string(net::kProtocolVersion));
        if (g.version != setup_.version) return "game version " + versus(g.version, setup_.version);
        if (g.data != setup_.data) return std::string("other data files (Tank.ddo, tex.bmp or tex2.bmp)");
        return std::string();
    };
    if (const std::string here = differs(false); !here.empty()) {
        if (setup_.role == Role::Host) {
            send(link::Channel::Reliable, net::Refusal{"the host's game differs from this one: " + differs(true)});
            transport_->close(500);
            peerGone_ = true;
            fail("refused player 2, whose game differs from this one: " + here);
        } else {
            fail("the host's game differs from this one: " + here);
        }
        return;
    }
    if (g.frames >= 0 && (frames_ < 0 || g.frames < frames_)) frames_ = g.frames;
    if (setup_.role == Role::Host) send(link::Channel::Reliable, greeting(true));
    connected_ = true;
}

void Netplay::handle(const net::Inputs& in, std::int64_t present) {
    peerAck_ = std::clamp(in.ack, peerAck_, localEnd_);
    peerPresent_ = in.present;
    peerPresentMs_ = transport_->nowMs();
    const std::int64_t end = in.first + std::int64_t(in.keys.size());
    // Keys are taken in order only; a message far ahead of what is kept is not trusted.
    if (in.first > remoteEnd_ || end <= remoteEnd_) return;
    if (end - floor_ > kWindow) {
        ++stats_.malformed;
        return;
    }
    const KeySet theirs = ~ownKeys() | kSharedKeys;
    for (std::int64_t pass = remoteEnd_; pass < end; ++pass) {
        const KeySet keys = in.keys[std::size_t(pass - in.first)] & theirs;
        remote_[std::size_t(pass % kWindow)] = keys;
        // Run already with "nothing" for the other side: run again.
        if (pass < present && keys != 0 && (rollback_ < 0 || pass < rollback_)) rollback_ = pass;
    }
    remoteEnd_ = end;
}

void Netplay::handle(const net::Check& c) {
    theirChecks_[c.passes] = c.digest;
    while (theirChecks_.size() > 16) theirChecks_.erase(theirChecks_.begin());
    if (auto ours = ourChecks_.find(c.passes); ours != ourChecks_.end() && ours->second != c.digest) {
        desyncAfter_ = desyncAfter_ < 0 ? c.passes : std::min(desyncAfter_, c.passes);
        fail("the two games differ after pass " + std::to_string(c.passes));
    }
}

void Netplay::check(std::int64_t passes, std::uint64_t digest) {
    ourChecks_[passes] = digest;
    while (ourChecks_.size() > 16) ourChecks_.erase(ourChecks_.begin());
    send(link::Channel::Reliable, net::Check{passes, digest});
    if (auto theirs = theirChecks_.find(passes); theirs != theirChecks_.end())
        handle(net::Check{passes, theirs->second});
}

// This side's keys from the first the other side lacks: at once when a pass
// has keys, every second pass when none has (a late "nothing" is what the other
// side guessed anyway, so it costs no rollback), and now and then regardless,
// to carry the acknowledgement.
void Netplay::sendInputs(std::int64_t present) {
    const std::uint32_t now = transport_->nowMs();
    bool pressed = false;
    for (std::int64_t pass = std::max(sentEnd_, peerAck_); pass < localEnd_; ++pass)
        pressed = pressed || local_[std::size_t(pass % kWindow)] != 0;
    if (!pressed && localEnd_ - sentEnd_ < 2 && now - lastSentMs_ < kResendMs) return;
    net::Inputs in;
    in.ack = remoteEnd_;
    in.first = peerAck_;
    in.present = present;
    for (std::int64_t pass = peerAck_; pass < localEnd_ && in.keys.size() < net::kMaxInputsPerMessage; ++pass)
        in.keys.push_back(local_[std::size_t(pass % kWindow)]);
    send(link::Channel::Unreliable, in);
    sentEnd_ = localEnd_;
    lastSentMs_ = now;
}

bool Netplay::addLocal(KeySet keys) {
    // Keep every pass the other side may still need, and every pass that may still be run again.
    if (localEnd_ - std::min(peerAck_, floor_) >= kWindow - 1) return false;
    local_[std::size_t(localEnd_ % kWindow)] = keys & ownKeys();
    ++localEnd_;
    return true;
}

KeySet Netplay::keys(std::int64_t pass) const {
    const KeySet local = pass < localEnd_ ? local_[std::size_t(pass % kWindow)] : 0;
    const KeySet remote = pass < remoteEnd_ ? remote_[std::size_t(pass % kWindow)] : 0;
    return local | remote;
}

std::int64_t Netplay::takeRollback() { return std::exchange(rollback_, -1); }

double Netplay::passesAhead(std::int64_t present) const {
    const double since = double(transport_->nowMs() - peerPresentMs_) + transport_->roundTripMs() / 2.0;
    return double(present) - (double(peerPresent_) + since / kMsPerPass);
}

void Netplay::setPaused(bool paused) { send(link::Channel::Reliable, net::Pause{paused}); }

void Netplay::finish(std::int64_t passes) {
    const std::uint32_t until = transport_->nowMs() + 3000;
    while (connected_ && !peerGone_ && peerAck_ < passes && transport_->nowMs() < until) poll(10, passes);
    transport_->close(peerGone_ ? 0 : 1000);
}

Netplay::Stats Netplay::stats() const {
    Stats s = stats_;
    s.roundTripMs = transport_->roundTripMs();
    s.traffic = transport_->traffic();
    return s;
}

}  // namespace tb
