// A UDP relay for the network tests: it stands between one client and one server
// on this machine and delays, drops, duplicates and reorders the datagrams it
// forwards, as a poor link would. It knows nothing of what the datagrams carry.
//
// Every decision comes from a seeded generator per direction that makes the same
// draws for every datagram, so the n-th datagram of a direction meets the same
// fate on every run with the same seed, whatever the timing.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

const char* const kUsage =
    "usage: net_relay --listen [ADDR:]PORT --to HOST:PORT [--delay MS] [--jitter MS] [--drop P]\n"
    "                 [--duplicate P] [--reorder P] [--seed N] [--vanish-after SECONDS]\n"
    "                 [--stats FILE] [--port-file FILE]\n"
    "Forwards datagrams from the first client to reach PORT on to HOST:PORT, and the replies\n"
    "back, each one dropped with probability P, else delayed by MS plus or minus up to the\n"
    "jitter; --reorder holds one back behind the next, --duplicate sends a second copy.\n"
    "PORT 0 takes any free port (--port-file tells which). ADDR defaults to the loopback\n"
    "address of HOST's family.\n";

// At most this many datagrams, and bytes, wait in the relay; beyond that, new ones are dropped.
constexpr std::size_t kMaxQueued = 10000;
constexpr std::size_t kMaxQueuedBytes = std::size_t(64) << 20;
// A datagram held back for reordering goes anyway if no other follows it this soon.
constexpr auto kHoldLimit = std::chrono::milliseconds(250);
// Datagrams read from one socket before the relay looks at its queue again.
constexpr int kReadBurst = 64;

struct Options {
    std::string listenAddress;  // empty: the loopback address of the destination's family
    int listenPort = -1;
    std::string toHost;
    int toPort = 0;
    double delayMs = 0, jitterMs = 0;
    double drop = 0, duplicate = 0, reorder = 0;
    std::uint32_t seed = 1;
    std::optional<double> vanishAfter;
    std::string statsFile, portFile;
};

struct UsageError {
    std::string message;
};

// "ADDR:PORT", "[ADDR]:PORT", or with allowBare a lone "PORT".
void splitHostPort(const std::string& option, const std::string& text, bool allowBare, std::string& host,
                   std::string& port) {
    const auto bad = [&] {
        return UsageError{option + " wants " + (allowBare ? "[ADDR:]PORT" : "HOST:PORT") + ", not '" + text + "'"};
    };
    if (!text.empty() && text[0] == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') throw bad();
        host = text.substr(1, close - 1), port = text.substr(close + 2);
    } else if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon), port = text.substr(colon + 1);
        if (host.find(':') != std::string::npos) throw bad();  // IPv6 literals go in brackets
    } else if (allowBare) {
        host.clear(), port = text;
    } else {
        throw bad();
    }
    if ((host.empty() && !allowBare) || port.empty()) throw bad();
}

template <class Number>
Number parseNumber(const std::string& option, const std::string& text, Number low, Number high) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !(value >= low && value <= high)) {
        std::ostringstream message;
        message << option << " wants a number from " << low << " to " << high << ", not '" << text << "'";
        throw UsageError{message.str()};
    }
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        static const char* const known[] = {"--listen",       "--to",        "--delay",    "--jitter",
                                            "--drop",         "--duplicate", "--reorder",  "--seed",
                                            "--vanish-after", "--stats",     "--port-file"};
        if (std::find(std::begin(known), std::end(known), name) == std::end(known))
            throw UsageError{"unknown option '" + name + "'"};
        if (i + 1 >= argc) throw UsageError{name + " wants a value"};
        const std::string value = argv[++i];
        std::string host, port;
        if (name == "--listen") {
            splitHostPort(name, value, true, host, port);
            o.listenAddress = host, o.listenPort = parseNumber(name, port, 0, 65535);
        } else if (name == "--to") {
            splitHostPort(name, value, false, host, port);
            o.toHost = host, o.toPort = parseNumber(name, port, 1, 65535);
        } else if (name == "--delay") {
            o.delayMs = parseNumber(name, value, 0.0, 60000.0);
        } else if (name == "--jitter") {
            o.jitterMs = parseNumber(name, value, 0.0, 60000.0);
        } else if (name == "--drop") {
            o.drop = parseNumber(name, value, 0.0, 1.0);
        } else if (name == "--duplicate") {
            o.duplicate = parseNumber(name, value, 0.0, 1.0);
        } else if (name == "--reorder") {
            o.reorder = parseNumber(name, value, 0.0, 1.0);
        } else if (name == "--seed") {
            o.seed = parseNumber<std::uint32_t>(name, value, 0, UINT32_MAX);
        } else if (name == "--vanish-after") {
            o.vanishAfter = parseNumber(name, value, 0.0, 1e6);
        } else if (name == "--stats") {
            o.statsFile = value;
        } else {
            o.portFile = value;
        }
    }
    if (o.listenPort < 0) throw UsageError{"--listen is required"};
    if (o.toHost.empty()) throw UsageError{"--to is required"};
    return o;
}

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int family() const { return storage.ss_family; }
};

bool sameAddress(const Address& a, const Address& b) {
    if (a.family() != b.family()) return false;
    if (a.family() == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a.storage);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b.storage);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    const auto& x = reinterpret_cast<const sockaddr_in6&>(a.storage);
    const auto& y = reinterpret_cast<const sockaddr_in6&>(b.storage);
    return x.sin6_port == y.sin6_port && std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
}

// The first address a name resolves to for UDP; family AF_UNSPEC takes any.
std::optional<Address> resolve(const std::string& host, int port, int family, std::string& error) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0 || found == nullptr) {
        error = "cannot resolve '" + host + "': " + gai_strerror(status);
        return std::nullopt;
    }
    Address a;
    std::memcpy(&a.storage, found->ai_addr, found->ai_addrlen);
    a.length = found->ai_addrlen;
    freeaddrinfo(found);
    return a;
}

int localPort(int fd) {
    Address a;
    a.length = sizeof a.storage;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a.storage), &a.length) != 0) return -1;
    return ntohs(a.family() == AF_INET ? reinterpret_cast<const sockaddr_in&>(a.storage).sin_port
                                       : reinterpret_cast<const sockaddr_in6&>(a.storage).sin6_port);
}

int openSocket(int family, const Address* bindTo) {
    const int fd = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (bindTo != nullptr && bind(fd, bindTo->get(), bindTo->length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Replaces the file only once the new text is complete.
bool writeAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

enum Direction { kToServer, kToClient };
const char* const kDirectionNames[] = {"to-server", "to-client"};

struct Counts {
    std::uint64_t in = 0, forwarded = 0, dropped = 0, duplicated = 0, reordered = 0, pending = 0, ignored = 0;
    std::uint64_t bytesIn = 0, bytesOut = 0;
};

struct Pending {
    Clock::time_point due;
    std::uint64_t order;  // ties go in arrival order
    Direction direction;
    std::vector<char> bytes;
};
// For the heap: the earliest due, then the earliest order, on top.
bool later(const Pending& a, const Pending& b) { return a.due != b.due ? a.due > b.due : a.order > b.order; }

// One direction's generator: five draws a datagram, whatever they decide.
struct Fate {
    bool drop, reorder, duplicate;
    Clock::duration delay, copyDelay;
};

class Relay {
public:
    Relay(const Options& o, int clientSocket, int serverSocket, const Address& server)
        : options_(o), clientSocket_(clientSocket), serverSocket_(serverSocket), server_(server), start_(Clock::now()) {
        // Each direction its own stream, so one direction's traffic never shifts the other's fate.
        for (int d = 0; d < 2; ++d) {
            std::seed_seq seq{o.seed, std::uint32_t(d)};
            random_[d].seed(seq);
        }
    }

    void receive(Direction direction) {
        static std::vector<char> buffer(65536);
        const int fd = direction == kToServer ? clientSocket_ : serverSocket_;
        for (int n = 0; n < kReadBurst; ++n) {
            Address from;
            from.length = sizeof from.storage;
            const ssize_t size =
                recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from.storage), &from.length);
            if (size < 0) return;  // drained, or an error from an earlier send: nothing to forward
            Counts& c = counts_[direction];
            if (direction == kToServer && !client_) client_ = from;
            if (!sameAddress(from, direction == kToServer ? *client_ : server_)) {
                ++c.ignored;
                continue;
            }
            ++c.in, c.bytesIn += std::uint64_t(size);
            admit(direction, std::vector<char>(buffer.begin(), buffer.begin() + size));
        }
    }

    // Sends what is due; returns the poll timeout in milliseconds until the next thing to do.
    int sendDue() {
        const auto now = Clock::now();
        for (int d = 0; d < 2; ++d) {
            if (held_[d] && held_[d]->due + kHoldLimit <= now) {
                schedule(std::move(*held_[d]));
                held_[d].reset();
            }
        }
        while (!queue_.empty() && queue_.front().due <= now) {
            std::pop_heap(queue_.begin(), queue_.end(), later);
            Pending p = std::move(queue_.back());
            queue_.pop_back();
            queuedBytes_ -= p.bytes.size();
            send(p);
        }
        std::optional<Clock::time_point> next;
        if (!queue_.empty()) next = queue_.front().due;
        for (const auto& h : held_)
            if (h) next = std::min(next.value_or(h->due + kHoldLimit), h->due + kHoldLimit);
        if (!next) return -1;
        // Rounded up: waking early would only spin until the time comes.
        return int(std::max(0.0, std::ceil(Millis(*next - now).count())));
    }

    std::string report() {
        for (const auto& p : queue_) ++counts_[p.direction].pending;
        for (int d = 0; d < 2; ++d)
            if (held_[d]) ++counts_[d].pending;
        std::ostringstream out;
        for (int d = 0; d < 2; ++d) {
            const Counts& c = counts_[d];
            out << kDirectionNames[d] << " in " << c.in << " forwarded " << c.forwarded << " dropped " << c.dropped
                << " duplicated " << c.duplicated << " reordered " << c.reordered << " pending " << c.pending
                << " ignored " << c.ignored << " bytes-in " << c.bytesIn << " bytes-out " << c.bytesOut << "\n";
        }
        return out.str();
    }

private:
    bool vanished(Clock::time_point now) const {
        return options_.vanishAfter && Millis(now - start_).count() >= *options_.vanishAfter * 1000.0;
    }

    double uniform(Direction d) { return double(random_[d]()) / 4294967296.0; }

    Clock::duration delayFrom(double u) const {
        const double ms = std::max(0.0, options_.delayMs + (2.0 * u - 1.0) * options_.jitterMs);
        return std::chrono::duration_cast<Clock::duration>(Millis(ms));
    }

    Fate decide(Direction d) {
        Fate f{};
        f.drop = uniform(d) < options_.drop;
        f.delay = delayFrom(uniform(d));
        f.reorder = uniform(d) < options_.reorder;
        f.duplicate = uniform(d) < options_.duplicate;
        f.copyDelay = delayFrom(uniform(d));
        return f;
    }

    void admit(Direction d, std::vector<char> bytes) {
        const auto now = Clock::now();
        const Fate fate = decide(d);
        if (fate.drop || vanished(now)) {
            ++counts_[d].dropped;
            return;
        }
        if (fate.duplicate) {
            ++counts_[d].duplicated;
            schedule(Pending{now + fate.copyDelay, 0, d, bytes});
        }
        Pending p{now + fate.delay, 0, d, std::move(bytes)};
        if (held_[d]) {
            // The one held back goes right behind this one, however early it was due.
            Pending behind = std::move(*held_[d]);
            held_[d].reset();
            behind.due = std::max(behind.due, p.due);
            ++counts_[d].reordered;
            schedule(std::move(p));
            schedule(std::move(behind));
        } else if (fate.reorder) {
            held_[d] = std::move(p);
        } else {
            schedule(std::move(p));
        }
    }

    void schedule(Pending p) {
        if (queue_.size() >= kMaxQueued || queuedBytes_ + p.bytes.size() > kMaxQueuedBytes) {
            ++counts_[p.direction].dropped;
            return;
        }
        p.order = nextOrder_++;
        queuedBytes_ += p.bytes.size();
        queue_.push_back(std::move(p));
        std::push_heap(queue_.begin(), queue_.end(), later);
    }

    void send(const Pending& p) {
        Counts& c = counts_[p.direction];
        // (No client yet cannot happen: the server hears of the relay only through one.)
        if (vanished(Clock::now()) || (p.direction == kToClient && !client_)) {
            ++c.dropped;
            return;
        }
        const bool toServer = p.direction == kToServer;
        const Address& to = toServer ? server_ : *client_;
        const ssize_t sent =
            sendto(toServer ? serverSocket_ : clientSocket_, p.bytes.data(), p.bytes.size(), 0, to.get(), to.length);
        if (sent < 0) {
            ++c.dropped;  // a full socket buffer loses it, as a router would
            return;
        }
        ++c.forwarded, c.bytesOut += std::uint64_t(sent);
    }

    const Options& options_;
    int clientSocket_, serverSocket_;
    Address server_;
    std::optional<Address> client_;
    Clock::time_point start_;
    std::mt19937 random_[2];
    std::optional<Pending> held_[2];
    std::vector<Pending> queue_;  // a heap ordered by `later`
    std::size_t queuedBytes_ = 0;
    std::uint64_t nextOrder_ = 0;
    Counts counts_[2];
};

// The signal handler's only act: a byte down this pipe, which wakes poll().
int stopPipe[2] = {-1, -1};
extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
}

int fail(const std::string& message) {
    std::cerr << "net_relay: " << message << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "net_relay: " << e.message << "\n" << kUsage;
        return 2;
    }

    std::string error;
    const auto server = resolve(options.toHost, options.toPort, AF_UNSPEC, error);
    if (!server) return fail("--to: " + error);
    std::optional<Address> listenAt;
    if (options.listenAddress.empty()) {
        listenAt =
            resolve(server->family() == AF_INET6 ? "::1" : "127.0.0.1", options.listenPort, server->family(), error);
    } else {
        listenAt = resolve(options.listenAddress, options.listenPort, AF_UNSPEC, error);
    }
    if (!listenAt) return fail("--listen: " + error);

    const int clientSocket = openSocket(listenAt->family(), &*listenAt);
    if (clientSocket < 0)
        return fail("cannot listen on port " + std::to_string(options.listenPort) + ": " + std::strerror(errno));
    const int serverSocket = openSocket(server->family(), nullptr);
    if (serverSocket < 0) return fail(std::string("cannot open a socket towards --to: ") + std::strerror(errno));

    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return fail(std::string("pipe: ") + std::strerror(errno));
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    // The clock for --vanish-after starts as the port becomes known.
    Relay relay(options, clientSocket, serverSocket, *server);
    if (!options.portFile.empty() && !writeAtomically(options.portFile, std::to_string(localPort(clientSocket)) + "\n"))
        return fail("cannot write the port file '" + options.portFile + "'");

    pollfd fds[3] = {{clientSocket, POLLIN, 0}, {serverSocket, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
    for (;;) {
        const int timeout = relay.sendDue();
        if (poll(fds, 3, timeout) < 0 && errno != EINTR) return fail(std::string("poll: ") + std::strerror(errno));
        if (fds[2].revents != 0) break;
        if (fds[0].revents != 0) relay.receive(kToServer);
        if (fds[1].revents != 0) relay.receive(kToClient);
    }

    const std::string report = relay.report();
    std::cout << report << std::flush;
    if (!options.statsFile.empty() && !writeAtomically(options.statsFile, report))
        return fail("cannot write the stats file '" + options.statsFile + "'");
    return 0;
}
