// The relay the network tests put between two players: datagrams pass through it
// unchanged, or dropped, duplicated, held back and cut off as asked, and its
// counts say what it did.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

#ifndef TANKBATTLE_NET_RELAY
#define TANKBATTLE_NET_RELAY "net_relay"
#endif

extern char** environ;

namespace {

using namespace tbtest;
using namespace std::chrono_literals;

// A UDP socket of the test on a free loopback port.
class Udp {
public:
    explicit Udp(int family = AF_INET) : family_(family), fd_(socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_storage a = address(0);
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), length()) != 0) return;
        socklen_t size = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = portOf(a);
    }
    ~Udp() {
        if (fd_ >= 0) close(fd_);
    }
    Udp(const Udp&) = delete;
    Udp& operator=(const Udp&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    int lastSender() const { return lastSender_; }

    void sendTo(int port, const std::string& bytes) {
        const sockaddr_storage a = address(port);
        ASSERT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&a), length()),
                  ssize_t(bytes.size()));
    }

    // What arrives until `count` datagrams have, or until nothing has for `patience`.
    std::vector<std::string> receive(std::size_t count, std::chrono::milliseconds patience) {
        std::vector<std::string> got;
        std::vector<char> buffer(65536);
        pollfd p{fd_, POLLIN, 0};
        while (got.size() < count && poll(&p, 1, int(patience.count())) > 0) {
            sockaddr_storage from{};
            socklen_t size = sizeof from;
            const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 0) break;
            got.emplace_back(buffer.data(), std::size_t(n));
            lastSender_ = portOf(from);
        }
        return got;
    }

private:
    socklen_t length() const { return family_ == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6); }
    sockaddr_storage address(int port) const {
        sockaddr_storage s{};
        if (family_ == AF_INET) {
            auto& a = reinterpret_cast<sockaddr_in&>(s);
            a.sin_family = AF_INET, a.sin_port = htons(std::uint16_t(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        } else {
            auto& a = reinterpret_cast<sockaddr_in6&>(s);
            a.sin6_family = AF_INET6, a.sin6_port = htons(std::uint16_t(port)), a.sin6_addr = in6addr_loopback;
        }
        return s;
    }
    static int portOf(const sockaddr_storage& s) {
        return ntohs(s.ss_family == AF_INET ? reinterpret_cast<const sockaddr_in&>(s).sin_port
                                            : reinterpret_cast<const sockaddr_in6&>(s).sin6_port);
    }

    int family_, fd_, port_ = 0, lastSender_ = 0;
};

// Counts per direction ("to-server", "to-client") and name ("in", "dropped", ...).
using Stats = std::map<std::string, std::map<std::string, long>>;

Stats parseStats(const std::string& text) {
    Stats stats;
    for (const auto& line : lines(text)) {
        const auto w = words(line);
        for (std::size_t i = 1; i + 1 < w.size(); i += 2) stats[w[0]][w[i]] = std::stol(w[i + 1]);
    }
    return stats;
}

// The relay as a test script runs it: started with a port file, waited for, ended with SIGTERM.
class Relay {
public:
    Relay(const ScratchDir& dir, const std::string& to, std::vector<std::string> options) {
        static int serial = 0;
        const std::string name = "relay" + std::to_string(++serial);
        portFile_ = dir / (name + ".port"), statsFile_ = dir / (name + ".stats");
        std::vector<std::string> args = {
            TANKBATTLE_NET_RELAY, "--listen", "0", "--to", to, "--port-file", portFile_.string(), "--stats",
            statsFile_.string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / (name + ".out")).c_str(), O_WRONLY | O_CREAT, 0644);
        const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) pid_ = -1;
        for (int wait = 0; pid_ > 0 && wait < 1000 && !fs::exists(portFile_); ++wait) std::this_thread::sleep_for(10ms);
        if (fs::exists(portFile_)) port_ = std::stoi(readText(portFile_));
    }
    ~Relay() {
        if (pid_ > 0) stop();
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    int port() const { return port_; }

    Stats stop() {
        int status = -1;
        kill(pid_, SIGTERM);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the relay did not end cleanly";
        return parseStats(readText(statsFile_));
    }

private:
    fs::path portFile_, statsFile_;
    pid_t pid_ = -1;
    int port_ = 0;
};

std::string payload(int n) { return "datagram " + std::to_string(n) + std::string(std::size_t(n) * 7, char('a' + n)); }

std::vector<std::string> payloads(const std::vector<int>& numbers) {
    std::vector<std::string> out;
    for (int n : numbers) out.push_back(payload(n));
    return out;
}

TEST(NetRelay, PassesDatagramsUnchangedBothWays) {
    for (const int family : {AF_INET, AF_INET6}) {
        Udp client(family), server(family);
        if (!client.ok() || !server.ok()) {
            EXPECT_EQ(family, AF_INET6) << "no IPv4 loopback";
            continue;  // a machine without IPv6
        }
        ScratchDir dir("relay_pass");
        const std::string host = family == AF_INET ? "127.0.0.1" : "[::1]";
        Relay relay(dir, host + ":" + std::to_string(server.port()), {});
        ASSERT_GT(relay.port(), 0);

        // Every size a datagram can have, the empty one and one near the largest included.
        std::vector<std::string> sent = {"", std::string(60000, '\xFF'), std::string("\0\1\2", 3)};
        for (int n = 0; n < 20; ++n) sent.push_back(payload(n));
        long bytes = 0;
        for (const auto& s : sent) client.sendTo(relay.port(), s), bytes += long(s.size());
        // The relay serves the first client only: a third party is not heard.
        Udp stranger(family);
        stranger.sendTo(relay.port(), "stranger");
        EXPECT_EQ(server.receive(sent.size(), 5s), sent);

        // The server answers whoever wrote to it: the relay, which hands it on to the client.
        const int relaySide = server.lastSender();
        const auto replies = payloads({3, 1, 4, 1, 5});
        for (const auto& r : replies) server.sendTo(relaySide, r);
        EXPECT_EQ(client.receive(replies.size(), 5s), replies);
        EXPECT_EQ(client.lastSender(), relay.port());

        const Stats stats = relay.stop();
        const long n = long(sent.size());
        EXPECT_EQ(stats.at("to-server"), (std::map<std::string, long>{{"in", n},
                                                                      {"forwarded", n},
                                                                      {"dropped", 0},
                                                                      {"duplicated", 0},
                                                                      {"reordered", 0},
                                                                      {"pending", 0},
                                                                      {"ignored", 1},
                                                                      {"bytes-in", bytes},
                                                                      {"bytes-out", bytes}}));
        EXPECT_EQ(stats.at("to-client").at("forwarded"), 5);
        EXPECT_EQ(stats.at("to-client").at("bytes-out"), stats.at("to-client").at("bytes-in"));
    }
}

TEST(NetRelay, ImpairmentsDoWhatTheyAsk) {
    struct Case {
        std::vector<std::string> options;
        int sent;
        std::vector<int> arrive;  // in this order, unless anyOrder
        bool anyOrder;
        long dropped, duplicated, reordered;
    };
    const Case cases[] = {
        {{"--drop", "1"}, 6, {}, false, 6, 0, 0},
        {{"--duplicate", "1"}, 4, {0, 0, 1, 1, 2, 2, 3, 3}, false, 0, 4, 0},
        // Each held back behind the next; the odd one out goes when nothing follows it.
        {{"--reorder", "1"}, 5, {1, 0, 3, 2, 4}, false, 0, 0, 2},
        {{"--delay", "30", "--jitter", "30"}, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, true, 0, 0, 0},
    };
    ScratchDir dir("relay_impair");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        Udp client, server;
        Relay relay(dir, "127.0.0.1:" + std::to_string(server.port()), c.options);
        ASSERT_GT(relay.port(), 0);
        for (int n = 0; n < c.sent; ++n) client.sendTo(relay.port(), payload(n));
        auto expected = payloads(c.arrive);
        // Patience for what must come; a short wait for anything that must not.
        auto got = server.receive(expected.size(), 5s);
        const auto extra = server.receive(1, 300ms);
        EXPECT_TRUE(extra.empty()) << extra.size() << " more than expected";
        if (c.anyOrder) std::sort(got.begin(), got.end()), std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected);

        const auto stats = relay.stop().at("to-server");
        EXPECT_EQ(stats.at("in"), c.sent);
        EXPECT_EQ(stats.at("forwarded"), long(expected.size()));
        EXPECT_EQ(stats.at("dropped"), c.dropped);
        EXPECT_EQ(stats.at("duplicated"), c.duplicated);
        EXPECT_EQ(stats.at("reordered"), c.reordered);
    }
}

TEST(NetRelay, VanishedPeerIsHeardNoMore) {
    ScratchDir dir("relay_vanish");
    Udp client, server;
    Relay relay(dir, "127.0.0.1:" + std::to_string(server.port()), {"--vanish-after", "1.5"});
    client.sendTo(relay.port(), payload(1));
    EXPECT_EQ(server.receive(1, 1s), payloads({1}));
    const int relaySide = server.lastSender();

    std::this_thread::sleep_for(2s);
    client.sendTo(relay.port(), payload(2));
    server.sendTo(relaySide, payload(3));
    EXPECT_TRUE(server.receive(1, 300ms).empty());
    EXPECT_TRUE(client.receive(1, 300ms).empty());

    const Stats stats = relay.stop();
    EXPECT_EQ(stats.at("to-server").at("in"), 2);
    EXPECT_EQ(stats.at("to-server").at("dropped"), 1);
    EXPECT_EQ(stats.at("to-client").at("in"), 1);
    EXPECT_EQ(stats.at("to-client").at("dropped"), 1);
}

}  // namespace
