// Online play from the command line.
#include "app/online.h"

#include <cstdio>

#include "platform/net/transport.h"

namespace tb {

std::unique_ptr<Netplay> openOnline(const Options& options, std::string& error) {
    Netplay::Setup setup;
    setup.inputDelay = options.inputDelay >= 0 ? int(options.inputDelay) : kDefaultInputDelay;
    setup.frames = options.frames;
    setup.version = programVersion();
    setup.data = gameDataDigest();
    std::unique_ptr<platform::net::Transport> transport;
    if (options.hostPort > 0) {
        setup.role = Netplay::Role::Host;
        transport = platform::net::listen(std::uint16_t(options.hostPort), error);
    } else {
        setup.role = Netplay::Role::Guest;
        std::string host;
        std::uint16_t port = 0;
        if (!platform::net::parseAddress(options.joinAddress, kDefaultPort, host, port, error)) return nullptr;
        transport = platform::net::connect(host, port, error);
    }
    if (!transport) return nullptr;
    return std::make_unique<Netplay>(std::move(transport), setup);
}

std::string onlineWaitingText(const Options& options, bool escapeGivesUp) {
    const std::string what = options.hostPort > 0
                                 ? "waiting for player 2 on UDP port " + std::to_string(options.hostPort)
                                 : "connecting to " + options.joinAddress;
    return what + (escapeGivesUp ? " (Escape gives up)" : "");
}

bool connectOnline(Netplay& netplay, const std::function<bool()>& keepWaiting, std::string& error) {
    while (!netplay.connected() && !netplay.failed()) {
        netplay.connect(20);
        if (!netplay.connected() && !keepWaiting()) {
            error = "gave up waiting for the other player";
            return false;
        }
    }
    error = netplay.failure();
    return netplay.connected() && !netplay.failed();
}

std::string onlineReport(const Netplay& netplay, long long passes) {
    const Netplay::Stats s = netplay.stats();
    char line[320];
    std::snprintf(line, sizeof line,
                  "online: %lld passes, round trip %d ms, %lld rollbacks (%lld passes run again), %lld passes "
                  "waited for player %d, %lld malformed messages dropped; sent %llu bytes in %llu datagrams, "
                  "received %llu bytes in %llu",
                  passes, s.roundTripMs, (long long)s.rollbacks, (long long)s.passesRunAgain, (long long)s.waits,
                  3 - netplay.player(), (long long)s.malformed, (unsigned long long)s.traffic.bytesSent,
                  (unsigned long long)s.traffic.datagramsSent, (unsigned long long)s.traffic.bytesReceived,
                  (unsigned long long)s.traffic.datagramsReceived);
    return line;
}

}  // namespace tb
