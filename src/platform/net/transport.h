// The link between two players' games: datagrams to and from one peer, on an
// unreliable channel that may lose, but never reorders, what it carries and a
// reliable one for what must arrive. Behind this interface so that another
// transport (a page's WebSocket or WebRTC) can stand in for the desktop's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::net {

enum class Channel : std::uint8_t { Unreliable = 0, Reliable = 1 };

struct Event {
    enum class Kind { None, Connected, Received, Disconnected } kind = Kind::None;
    Channel channel = Channel::Unreliable;
    std::vector<std::uint8_t> data;
};

struct Traffic {
    std::uint64_t bytesSent = 0, bytesReceived = 0;          // the transport's own datagrams, headers included
    std::uint64_t datagramsSent = 0, datagramsReceived = 0;  // for the IP and UDP headers on top
};

class Transport {
public:
    virtual ~Transport() = default;
    // Queues a message for the peer; sent at the next poll.
    virtual void send(Channel channel, const std::uint8_t* data, std::size_t size) = 0;
    // Sends what is queued, then waits at most timeoutMs for one event.
    virtual Event poll(int timeoutMs) = 0;
    // The peer's address as text, once connected.
    virtual std::string peerName() const = 0;
    // The mean round trip in milliseconds, as measured on the reliable channel.
    virtual int roundTripMs() const = 0;
    // A millisecond clock, the same on which the round trip is measured.
    virtual std::uint32_t nowMs() const = 0;
    virtual Traffic traffic() const = 0;
    // Sends what is queued and tells the peer goodbye, waiting at most timeoutMs for it to hear.
    virtual void close(int timeoutMs) = 0;
};

// Waits for one peer on this UDP port (every local address); nullptr with the
// reason when the port cannot be had.
std::unique_ptr<Transport> listen(std::uint16_t port, std::string& error);
// Connects to HOST:PORT (a name or an IPv4 address); the connection completes in poll().
std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port, std::string& error);

// "HOST[:PORT]" with PORT 1..65535 (defaultPort when absent); false with the reason when malformed.
bool parseAddress(const std::string& text, std::uint16_t defaultPort, std::string& host, std::uint16_t& port,
                  std::string& error);

}  // namespace platform::net
