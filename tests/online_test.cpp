// Online play: the messages two games exchange (every kind read back as
// written, anything else refused), the addresses players type, and whole games
// between two headless processes, directly and through a relay that delays,
// drops, duplicates and reorders datagrams: both sides end with the same world
// as the merged keys played alone.
#include <gtest/gtest.h>

#include <cstring>
#include <variant>

#include "app/netplay.h"
#include "app/session.h"
#include "app/options.h"
#include "app/packets.h"
#include "platform/net/transport.h"
#include "platform/replay.h"
#include "platform/stream.h"
#include "test_support.h"

namespace {

namespace net = tb::net;
namespace fs = std::filesystem;

// How long the long game through the lossy relay runs (sanitizer builds run a short one).
long longGamePasses() {
    const char* v = std::getenv("TANKBATTLE_ONLINE_PASSES");
    return v && *v ? std::strtol(v, nullptr, 10) : 10000;
}

// A UDP port of this test process's own, away from the usual 7777.
int freePort(int offset) { return 20000 + int(::getpid() % 4000) * 8 + offset; }

struct Side {
    int status = -1;
    std::string dump, recording, errors;
};

// Two headless games on this machine, the host given `hostArgs` and the guest
// `guestArgs` (their replays, frames and delays); with `relay` not empty the
// guest joins through net_relay started with those arguments.
class OnlineGame {
public:
    explicit OnlineGame(const std::string& tag) : dir_("online_" + tag) {}
    const tbtest::ScratchDir& dir() const { return dir_; }

    void play(const std::string& hostArgs, const std::string& guestArgs, const std::string& relay = "",
              int portOffset = 0) {
        const std::string port = std::to_string(freePort(portOffset));
        const std::string game = "TANKBATTLE_TIMING=1 timeout 120 '" TANKBATTLE_EXECUTABLE
                                 "' --headless --no-pixels --data '" TANKBATTLE_GENERATED_DATA "' ";
        std::string script = "cd '" + dir_.path().string() + "' && rm -f *.status relay.port; " + game + "--host " +
                             port + " --dump-state host.jsonl --record host.replay " + hostArgs +
                             " 2>host.err & host=$!; ";
        std::string target = "127.0.0.1:" + port;
        if (!relay.empty()) {
            script += "'" TANKBATTLE_NET_RELAY "' --listen 0 --port-file relay.port --to " + target +
                      " --stats relay.stats " + relay +
                      " >/dev/null 2>relay.err & relay=$!; n=0; until [ -s relay.port ] || "
                      "[ $n -ge 500 ]; do sleep 0.01; n=$((n+1)); done; ";
            target = "127.0.0.1:$(cat relay.port)";
        }
        // The host gives up 20 s after the guest has ended, whatever the guest did.
        script += game + "--join " + target + " --dump-state guest.jsonl --record guest.replay " + guestArgs +
                  " 2>guest.err; echo $? >guest.status; timeout 20 tail --pid=$host -f /dev/null; "
                  "kill $host 2>/dev/null; wait $host; echo $? >host.status; " +
                  (relay.empty() ? "" : "kill $relay 2>/dev/null; ") + "wait; true";
        ASSERT_EQ(tbtest::run(script), 0) << script;
        host = read("host"), guest = read("guest");
    }

    // The world after the game, played alone from a replay.
    std::string alone(const std::string& replay, long frames) const {
        const fs::path dump = dir_ / "alone.jsonl";
        const int status =
            tbtest::runGame("--headless --no-pixels --data '" TANKBATTLE_GENERATED_DATA "' --replay '" + replay +
                                "' --frames " + std::to_string(frames) + " --dump-state '" + dump.string() + "'",
                            dir_ / "alone.err");
        EXPECT_EQ(status, 0) << tbtest::readText(dir_ / "alone.err");
        return tbtest::readText(dump);
    }

    Side host, guest;

private:
    Side read(const std::string& side) const {
        Side s;
        s.status = std::atoi(tbtest::readText(dir_ / (side + ".status")).c_str());
        s.dump = readIfThere(dir_ / (side + ".jsonl"));
        s.recording = readIfThere(dir_ / (side + ".replay"));
        s.errors = readIfThere(dir_ / (side + ".err"));
        return s;
    }
    static std::string readIfThere(const fs::path& p) { return fs::exists(p) ? tbtest::readText(p) : ""; }
    tbtest::ScratchDir dir_;
};

// The number after `label` in a report line ("12 rollbacks"): the word before it.
long figure(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(" " + label);
    if (at == std::string::npos) return -1;
    const std::size_t start = text.rfind(' ', at - 1);
    return std::strtol(text.c_str() + (start == std::string::npos ? 0 : start + 1), nullptr, 10);
}

// The picture after 400 passes of a battle, with each pass shown after `rollback`
// passes run again unseen (the sync test), as a rollback runs them.
std::string pictureAfterRollbacks(int rollback) {
    platform::Replay replay;
    std::string error, digest;
    EXPECT_TRUE(platform::loadReplay(TANKBATTLE_REGRESS_DIR "/churn.replay", replay, error)) << error;
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    tb::Session session;
    session.playReplay(replay);
    session.stopAfter(400);
    if (rollback > 0) session.syncTest(rollback);
    session.keepPictures({300, 400}, [&](std::int64_t pass, const std::uint32_t* frame) {
        digest += std::to_string(pass) + ":" +
                  tb::pictureDigest(frame, softglide::frameWidth(), softglide::frameHeight()) + " ";
    });
    session.start();
    session.run();
    EXPECT_TRUE(session.finish(error)) << error;
    return digest;
}

TEST(OnlineRollback, APassShownAfterPassesRunAgainUnseenLooksAsWithoutThem) {
    const std::string plain = pictureAfterRollbacks(0);
    EXPECT_EQ(pictureAfterRollbacks(1), plain);
    EXPECT_EQ(pictureAfterRollbacks(3), plain);
}

TEST(OnlineMessages, EachKindReadsBackAsWritten) {
    const net::Message messages[] = {
        net::Greeting{false, 1, "1.2.3", 0x0123456789ABCDEFull, -1},
        net::Greeting{true, 7, std::string(net::kMaxText, 'v'), 0, net::kPassLimit},
        net::Refusal{"the data differ"},
        net::Inputs{0, 0, 0, {}},
        net::Inputs{12345, 2147483000, 99, std::vector<platform::KeySet>(64, (1u << 30) - 1)},
        net::Inputs{7, 5, 6, {0, 1, 0x80, 0x3FFF, 0x4000, 0}},
        net::Check{2147483647, ~0ull},
        net::Pause{true},
        net::Pause{false}};
    for (const net::Message& m : messages) {
        const std::vector<std::uint8_t> bytes = net::encode(m);
        net::Message back;
        ASSERT_TRUE(net::decode(bytes.data(), bytes.size(), back)) << "kind " << m.index();
        EXPECT_EQ(net::encode(back), bytes) << "kind " << m.index();
        ASSERT_EQ(back.index(), m.index());
        if (const auto* in = std::get_if<net::Inputs>(&m)) {
            const auto& got = std::get<net::Inputs>(back);
            EXPECT_EQ(std::tie(got.ack, got.first, got.present, got.keys),
                      std::tie(in->ack, in->first, in->present, in->keys));
        }
        if (const auto* g = std::get_if<net::Greeting>(&m)) {
            const auto& got = std::get<net::Greeting>(back);
            EXPECT_EQ(std::tie(got.welcome, got.protocol, got.version, got.data, got.frames),
                      std::tie(g->welcome, g->protocol, g->version, g->data, g->frames));
        }
    }
    // Keys of a pass with none pressed take one byte: a message of idle passes stays small.
    EXPECT_LE(net::encode(net::Inputs{100000, 100000, 100002, std::vector<platform::KeySet>(8, 0)}).size(), 21u);
}

TEST(OnlineMessages, MalformedBytesAreRefused) {
    auto bytes = [](std::initializer_list<int> list) {
        std::vector<std::uint8_t> out;
        for (int b : list) out.push_back(std::uint8_t(b));
        return out;
    };
    const std::vector<std::uint8_t> inputs = net::encode(net::Inputs{3, 4, 5, {1, 2}});
    std::vector<std::uint8_t> longer = inputs, shorter = inputs, tooMany = net::encode(net::Inputs{0, 0, 0, {}});
    longer.push_back(0);
    shorter.pop_back();
    tooMany.back() = std::uint8_t(net::kMaxInputsPerMessage + 1);
    for (int i = 0; i <= int(net::kMaxInputsPerMessage); ++i) tooMany.push_back(0);
    // clang-format off
    const struct { const char* what; std::vector<std::uint8_t> data; } cases[] = {
        {"nothing", {}}, {"an unknown kind", bytes({0})}, {"another unknown kind", bytes({99, 0, 0})},
        {"a byte too many", longer}, {"a byte too few", shorter}, {"65 passes of keys", tooMany},
        {"a key beyond the 30", bytes({4, 0, 0, 0, 1, 0x80, 0x80, 0x80, 0x80, 0x04})},
        {"a number of six bytes", bytes({4, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01, 0, 0, 0})},
        {"passes past the limit", bytes({4, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0, 1, 0})},
        {"a text longer than its bytes", bytes({3, 10, 'a', 'b'})},
        {"a text over the limit", [] { auto v = std::vector<std::uint8_t>(250, 'x'); v[0] = 3; v[1] = 240; return v; }()},
        {"a pause neither on nor off", bytes({6, 2})},
        {"a check past the pass limit", bytes({5, 0, 0, 0, 0x80, 1, 2, 3, 4, 5, 6, 7, 8})},
        {"a greeting's limit past the passes", bytes({1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})}};
    // clang-format on
    for (const auto& c : cases) {
        net::Message m;
        EXPECT_FALSE(net::decode(c.data.data(), c.data.size(), m)) << c.what;
    }
}

TEST(OnlineAddresses, HostAndPortAsPlayersTypeThem) {
    // clang-format off
    const struct { const char* text; bool ok; const char* host; int port; const char* why; } cases[] = {
        {"example.org", true, "example.org", 7777, ""}, {"10.0.0.2:9000", true, "10.0.0.2", 9000, ""},
        {"localhost:1", true, "localhost", 1, ""}, {"localhost:65535", true, "localhost", 65535, ""},
        {"localhost:65536", false, "", 0, "not a port"}, {"localhost:0", false, "", 0, "not a port"},
        {"localhost:12x", false, "", 0, "not a port"}, {"localhost:", false, "", 0, "empty port"},
        {":7777", false, "", 0, "names no host"}, {"[::1]:7777", false, "", 0, "IPv4 only"},
        {"::1", false, "", 0, "IPv4 only"}, {"[::1", false, "", 0, "lacks the ]"}};
    // clang-format on
    for (const auto& c : cases) {
        std::string host, error;
        std::uint16_t port = 0;
        EXPECT_EQ(platform::net::parseAddress(c.text, 7777, host, port, error), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(std::pair(host, int(port)), std::pair(std::string(c.host), c.port)) << c.text;
        else
            EXPECT_NE(error.find(c.why), std::string::npos) << c.text << ": " << error;
    }
}

// A guest written out here, speaking the messages by hand to a real host: it
// can send what no game would.
class HandMadeGuest {
public:
    explicit HandMadeGuest(int port) {
        std::string error;
        link_ = platform::net::connect("127.0.0.1", std::uint16_t(port), error);
        EXPECT_TRUE(link_) << error;
    }
    // Waits for the link; false when none came within 10 s.
    bool connected() {
        for (int i = 0; i < 500; ++i)
            if (link_->poll(20).kind == platform::net::Event::Kind::Connected) return true;
        return false;
    }
    void send(const net::Message& m) {
        const std::vector<std::uint8_t> bytes = net::encode(m);
        link_->send(platform::net::Channel::Reliable, bytes.data(), bytes.size());
    }
    void sendRaw(const std::vector<std::uint8_t>& bytes, platform::net::Channel channel) {
        link_->send(channel, bytes.data(), bytes.size());
    }
    // Plays "nothing pressed" for every pass until the host closes the link or
    // 60 s pass; returns the host's refusal, if it refused.
    std::string playNothing() {
        std::int64_t hostPasses = 0;
        for (int i = 0; i < 3000; ++i) {
            // Like a game, never more than a few passes ahead of the other side's keys.
            net::Inputs idle{hostPasses, ours_, hostPasses, {}};
            idle.keys.assign(std::size_t(std::clamp<std::int64_t>(hostPasses + 8 - ours_, 0, 32)), 0);
            const std::vector<std::uint8_t> bytes = net::encode(idle);
            link_->send(platform::net::Channel::Unreliable, bytes.data(), bytes.size());
            for (platform::net::Event e = link_->poll(20); e.kind != platform::net::Event::Kind::None;
                 e = link_->poll(0)) {
                if (e.kind == platform::net::Event::Kind::Disconnected) return refusal_;
                net::Message m;
                if (!net::decode(e.data.data(), e.data.size(), m)) continue;
                if (const auto* r = std::get_if<net::Refusal>(&m)) refusal_ = r->reason;
                if (const auto* in = std::get_if<net::Inputs>(&m)) {
                    if (in->first <= hostPasses)
                        hostPasses = std::max(hostPasses, in->first + std::int64_t(in->keys.size()));
                    ours_ = std::max(ours_, in->ack);
                }
            }
        }
        return refusal_;
    }

private:
    std::unique_ptr<platform::net::Transport> link_;
    std::int64_t ours_ = 0;
    std::string refusal_;
};

// A host started in the background, its exit status and standard error in `dir`.
void startHost(const tbtest::ScratchDir& dir, int port, const std::string& args) {
    ASSERT_EQ(tbtest::run("cd '" + dir.path().string() +
                          "' && (TANKBATTLE_TIMING=1 timeout 120 '" TANKBATTLE_EXECUTABLE
                          "' --headless --no-pixels --data '" TANKBATTLE_GENERATED_DATA "' --host " +
                          std::to_string(port) + " " + args + " 2>host.err; echo $? >host.status) >/dev/null 2>&1 &"),
              0);
}

std::string waitForHost(const tbtest::ScratchDir& dir) {
    for (int i = 0; i < 1200 && !fs::exists(dir / "host.status"); ++i) ::usleep(50000);
    return tbtest::readText(dir / "host.status") + tbtest::readText(dir / "host.err");
}

TEST(OnlineHandshake, AGuestOfAnotherVersionIsRefusedAndSaysWhy) {
    const tbtest::ScratchDir dir("online_version");
    const int port = freePort(5);
    startHost(dir, port, "--frames 100");
    HandMadeGuest guest(port);
    ASSERT_TRUE(guest.connected());
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    guest.send(net::Greeting{false, net::kProtocolVersion, "0.0.0-elsewhere", tb::gameDataDigest(), -1});
    const std::string refusal = guest.playNothing();
    EXPECT_EQ(refusal, "the host's game differs from this one: game version " + std::string(tb::programVersion()) +
                           " (this one 0.0.0-elsewhere)");
    const std::string host = waitForHost(dir);
    EXPECT_EQ(host.substr(0, 2), "1\n") << host;
    EXPECT_NE(host.find("refused player 2, whose game differs from this one: game version 0.0.0-elsewhere (this one " +
                        std::string(tb::programVersion()) + ")"),
              std::string::npos)
        << host;
}

TEST(OnlineHandshake, GarbageIsDroppedAndCountedAndTheGamePlaysOn) {
    const tbtest::ScratchDir dir("online_garbage");
    const int port = freePort(6);
    const std::string dump = (dir / "host.jsonl").string(), recording = (dir / "host.replay").string();
    startHost(dir, port,
              "--frames 300 --replay '" TANKBATTLE_REGRESS_DIR "/churn.replay' --dump-state '" + dump + "' --record '" +
                  recording + "'");
    HandMadeGuest guest(port);
    ASSERT_TRUE(guest.connected());
    // Messages of no known kind, cut short, or with keys out of range; before the hello and after it.
    const std::vector<std::vector<std::uint8_t>> garbage = {
        {0xEE, 1, 2}, {}, {4, 1}, {4, 0, 0, 0, 1, 0x80, 0x80, 0x80, 0x80, 0x7F}, {1, 1}, {6, 9}};
    for (const auto& g : garbage) guest.sendRaw(g, platform::net::Channel::Reliable);
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    guest.send(net::Greeting{false, net::kProtocolVersion, tb::programVersion(), tb::gameDataDigest(), -1});
    for (const auto& g : garbage) guest.sendRaw(g, platform::net::Channel::Reliable);
    EXPECT_EQ(guest.playNothing(), "");
    const std::string host = waitForHost(dir);
    ASSERT_EQ(host.substr(0, 2), "0\n") << host;
    EXPECT_EQ(figure(host, "malformed"), long(2 * garbage.size())) << host;
    // The guest pressed nothing: the host's world is its own keys' alone.
    const fs::path alone = dir / "alone.jsonl";
    ASSERT_EQ(tbtest::runGame("--headless --no-pixels --data '" TANKBATTLE_GENERATED_DATA "' --frames 300 --replay '" +
                                  recording + "' --dump-state '" + alone.string() + "'",
                              dir / "alone.err"),
              0);
    EXPECT_EQ(tbtest::readText(alone), tbtest::readText(dump));
}

TEST(OnlineHandshake, GamesThatDifferStopAndWriteTheirReplayAndState) {
    // This guest claims a state after pass 60 that no game has: the host stops there.
    const tbtest::ScratchDir dir("online_desync");
    const int port = freePort(7);
    startHost(dir, port, "--frames 1000 --replay '" TANKBATTLE_REGRESS_DIR "/churn.replay'");
    HandMadeGuest guest(port);
    ASSERT_TRUE(guest.connected());
    platform::setDataDirectory(TANKBATTLE_GENERATED_DATA);
    guest.send(net::Greeting{false, net::kProtocolVersion, tb::programVersion(), tb::gameDataDigest(), -1});
    guest.send(net::Check{60, 0x0123456789ABCDEFull});
    guest.playNothing();
    const std::string host = waitForHost(dir);
    ASSERT_EQ(host.substr(0, 2), "1\n") << host;
    EXPECT_NE(host.find("the two games differ after pass 60; written: tankbattle-desync-60-player1.replay, "
                        "tankbattle-desync-60-player1.jsonl"),
              std::string::npos)
        << host;
    // What it wrote is this side's game up to there: its replay gives its state.
    const fs::path alone = dir / "alone.jsonl";
    ASSERT_EQ(tbtest::runGame("--headless --no-pixels --data '" TANKBATTLE_GENERATED_DATA "' --frames 60 --replay '" +
                                  (dir / "tankbattle-desync-60-player1.replay").string() + "' --dump-state '" +
                                  alone.string() + "'",
                              dir / "alone.err"),
              0);
    EXPECT_EQ(tbtest::readText(dir / "tankbattle-desync-60-player1.jsonl"), tbtest::readText(alone));
}

// Whole games: both sides end with the same world and the same recording,
// which is the merged keys, and which played alone gives that world again.
TEST(OnlineGames, BothSidesEndWithTheWorldOfTheMergedKeysPlayedAlone) {
    const std::string regress = TANKBATTLE_REGRESS_DIR "/";
    const std::string longPasses = std::to_string(longGamePasses());
    const tbtest::ScratchDir files("online_files");
    files.write("escape.replay", "tankbattle-replay 1\n1 1 2 KP5\n300 Escape\n");
    const std::string escape = (files / "escape.replay").string();
    // clang-format off
    const struct { const char* what; std::string host, guest, relay; long frames; bool rollbacks; const char* guestSays; } games[] = {
        {"one replay on both sides, directly", "--replay " + regress + "coop.replay --frames 5000",
         "--replay " + regress + "coop.replay --frames 5000", "", 4201, false, ""},
        {"Escape on one side ends both", "--replay " + escape + " --frames 1000", "--frames 1000", "", 301, false,
         "player 1 left the game"},
        {"two replays, 0-150 ms, 5 % lost, some twice, some late",
         "--replay " + regress + "churn.replay --frames 3000 --input-delay 3",
         "--replay " + regress + "coop.replay --frames 3000", "--delay 75 --jitter 75 --drop 0.05 --duplicate 0.02 "
         "--reorder 0.02 --seed 7", 3000, true, ""},
        {"a long game with no input delay, many rollbacks",
         "--replay " + regress + "long.replay --input-delay 0 --frames " + longPasses,
         "--replay " + regress + "churn.replay --input-delay 0 --frames " + longPasses, "--delay 8 --jitter 8 --drop 0.05 "
         "--duplicate 0.02 --reorder 0.05 --seed 3", longGamePasses(), true, ""}};
    // clang-format on
    int port = 0;
    for (const auto& g : games) {
        OnlineGame game("games");
        game.play(g.host, g.guest, g.relay, port++);
        ASSERT_EQ(std::pair(game.host.status, game.guest.status), std::pair(0, 0))
            << g.what << "\n"
            << game.host.errors << game.guest.errors;
        EXPECT_EQ(game.host.recording, game.guest.recording) << g.what;
        EXPECT_EQ(game.host.dump, game.guest.dump) << g.what;
        const fs::path merged = game.dir() / "merged.replay";
        tbtest::writeText(merged, game.host.recording);
        EXPECT_EQ(game.alone(merged.string(), g.frames), game.host.dump) << g.what;
        EXPECT_NE(game.host.dump.find("\"pass\":" + std::to_string(g.frames) + ","), std::string::npos) << g.what;
        EXPECT_NE(game.guest.errors.find(g.guestSays), std::string::npos) << g.what << ": " << game.guest.errors;
        if (g.rollbacks) {
            EXPECT_GT(figure(game.host.errors, "rollbacks") + figure(game.guest.errors, "rollbacks"), 10)
                << g.what << "\n"
                << game.host.errors << game.guest.errors;
        }
    }
}

TEST(OnlineGames, APlayerWhoVanishesEndsTheGameAndTheRecordingsSoFarAreKept) {
    OnlineGame game("vanish");
    const std::string replay = "--frames 1000000 --replay " TANKBATTLE_REGRESS_DIR "/churn.replay";
    game.play(replay, replay, "--vanish-after 1", 7);
    for (const Side* side : {&game.host, &game.guest}) {
        EXPECT_EQ(side->status, 1);
        EXPECT_NE(side->errors.find("the other player vanished: nothing heard for 5 s"), std::string::npos)
            << side->errors;
        // The recording is in place and replays to the last pass whose keys both sides had.
        const std::size_t at = side->dump.rfind("{\"pass\":");
        ASSERT_NE(at, std::string::npos) << side->errors;
        const long passes = std::strtol(side->dump.c_str() + at + 8, nullptr, 10);
        EXPECT_GT(passes, 0);
        const fs::path kept = game.dir() / "kept.replay";
        tbtest::writeText(kept, side->recording);
        EXPECT_EQ(game.alone(kept.string(), passes), side->dump);
    }
}

TEST(OnlineGames, GamesOnDifferentDataRefuseToPlay) {
    const tbtest::ScratchDir other("online_data");
    fs::copy(TANKBATTLE_GENERATED_DATA, other.path(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::string bitmap = tbtest::readText(other / "tex2.bmp");
    bitmap[2000] = char(bitmap[2000] ^ 1);
    tbtest::writeText(other / "tex2.bmp", bitmap);
    OnlineGame game("data");
    game.play("--frames 100", "--frames 100 --data '" + other.path().string() + "'", "", 6);
    EXPECT_EQ(std::pair(game.host.status, game.guest.status), std::pair(1, 1));
    EXPECT_NE(game.host.errors.find("refused player 2, whose game differs from this one: other data files"),
              std::string::npos)
        << game.host.errors;
    EXPECT_NE(game.guest.errors.find("the host refused the game: the host's game differs from this one: other data"),
              std::string::npos)
        << game.guest.errors;
}

}  // namespace
