// Fuzzes what online play takes from the other player's game: the message
// decoder on any bytes (what it accepts encodes and decodes again to the same
// message), and a game's link fed a whole sequence of such datagrams (split
// from the input at each 0xFF 0xFE pair) while it keeps its own keys: whatever
// arrives, the keys it holds stay within its window and rollbacks point at
// passes already run.
#include <deque>
#include <vector>

#include "app/netplay.h"
#include "app/packets.h"
#include "fuzz_common.h"

namespace {

// A link that delivers the datagrams it was given and swallows what is sent.
class ScriptedLink : public platform::net::Transport {
public:
    std::deque<std::vector<std::uint8_t>> incoming;
    bool connected = false;
    void send(platform::net::Channel, const std::uint8_t*, std::size_t) override {}
    platform::net::Event poll(int) override {
        platform::net::Event e;
        if (!connected) {
            connected = true;
            e.kind = platform::net::Event::Kind::Connected;
        } else if (!incoming.empty()) {
            e.kind = platform::net::Event::Kind::Received;
            e.channel =
                incoming.front().size() % 2 ? platform::net::Channel::Reliable : platform::net::Channel::Unreliable;
            e.data = std::move(incoming.front());
            incoming.pop_front();
        }
        return e;
    }
    std::string peerName() const override { return "fuzz"; }
    int roundTripMs() const override { return 0; }
    std::uint32_t nowMs() const override { return now; }
    platform::net::Traffic traffic() const override { return {}; }
    void close(int) override {}
    std::uint32_t now = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tb::net::Message message;
    if (tb::net::decode(data, size, message)) {
        const std::vector<std::uint8_t> bytes = tb::net::encode(message);
        tb::net::Message again;
        fuzz::require(tb::net::decode(bytes.data(), bytes.size(), again));
        fuzz::require(tb::net::encode(again) == bytes);
    }

    // The host's side of a game whose guest sends these datagrams after a proper hello.
    auto link = std::make_unique<ScriptedLink>();
    ScriptedLink& script = *link;
    tb::Netplay::Setup setup;
    setup.version = "fuzz";
    tb::Netplay netplay(std::move(link), setup);
    const std::vector<std::uint8_t> hello =
        tb::net::encode(tb::net::Greeting{false, tb::net::kProtocolVersion, "fuzz", 0, -1});
    script.incoming.push_back(hello);
    std::vector<std::uint8_t> datagram;
    for (std::size_t i = 0; i < size; ++i) {
        if (i + 1 < size && data[i] == 0xFF && data[i + 1] == 0xFE) {
            script.incoming.push_back(datagram);
            datagram.clear();
            ++i;
        } else {
            datagram.push_back(data[i]);
        }
    }
    script.incoming.push_back(datagram);
    std::int64_t present = 0;
    while (!script.incoming.empty()) {
        netplay.addLocal(platform::KeySet(present * 2654435761u) & netplay.ownKeys());
        netplay.poll(0, present);
        const std::int64_t again = netplay.takeRollback();
        fuzz::require(again < present);
        fuzz::require(netplay.remoteEnd() - present <= tb::Netplay::kWindow + 64);
        for (std::int64_t pass = std::max<std::int64_t>(0, present - 8); pass < present; ++pass)
            (void)netplay.keys(pass);
        if (netplay.remoteEnd() > present && netplay.localEnd() > present) ++present;
        netplay.forgetBefore(std::min(netplay.remoteEnd(), present));
        script.now += 16;
    }
    return 0;
}
