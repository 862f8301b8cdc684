// The desktop's transport: ENet over UDP, the host side a server for one peer.
// Channel 0 carries unreliable sequenced datagrams (a late one is dropped, never
// delivered out of order), channel 1 reliable ones. ENet drops a peer it has not
// heard from for 5 seconds.
#include <enet/enet.h>

#include <cstring>

#include "platform/net/transport.h"

namespace platform::net {
namespace {

constexpr std::uint32_t kPeerTimeoutMs = 5000;
constexpr std::size_t kChannels = 2;

// ENet keeps global state: set up once for the process.
bool enetReady() {
    static const bool ready = enet_initialize() == 0;
    return ready;
}

std::string addressText(const ENetAddress& address) {
    char host[64] = "?";
    enet_address_get_host_ip(&address, host, sizeof host);
    return std::string(host) + ":" + std::to_string(address.port);
}

class EnetTransport : public Transport {
public:
    explicit EnetTransport(ENetHost* host) : host_(host) {}
    ~EnetTransport() override {
        if (peer_) enet_peer_reset(peer_);
        enet_host_destroy(host_);
    }

    void connectTo(const ENetAddress& address) {
        peer_ = enet_host_connect(host_, &address, kChannels, 0);
        if (peer_) enet_peer_timeout(peer_, 0, kPeerTimeoutMs, kPeerTimeoutMs);
    }

    void send(Channel channel, const std::uint8_t* data, std::size_t size) override {
        if (!peer_ || peer_->state != ENET_PEER_STATE_CONNECTED) return;
        const enet_uint32 flags = channel == Channel::Reliable ? ENET_PACKET_FLAG_RELIABLE : 0;
        ENetPacket* packet = enet_packet_create(data, size, flags);
        if (packet && enet_peer_send(peer_, enet_uint8(channel), packet) != 0) enet_packet_destroy(packet);
    }

    Event poll(int timeoutMs) override {
        ENetEvent e;
        Event out;
        if (enet_host_service(host_, &e, enet_uint32(timeoutMs < 0 ? 0 : timeoutMs)) <= 0) return out;
        switch (e.type) {
            case ENET_EVENT_TYPE_CONNECT:
                peer_ = e.peer;
                enet_peer_timeout(peer_, 0, kPeerTimeoutMs, kPeerTimeoutMs);
                out.kind = Event::Kind::Connected;
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                out.kind = Event::Kind::Received;
                out.channel = e.channelID == 1 ? Channel::Reliable : Channel::Unreliable;
                out.data.assign(e.packet->data, e.packet->data + e.packet->dataLength);
                enet_packet_destroy(e.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                if (e.peer == peer_) peer_ = nullptr;
                out.kind = Event::Kind::Disconnected;
                break;
            case ENET_EVENT_TYPE_NONE: break;
        }
        return out;
    }

    std::string peerName() const override { return peer_ ? addressText(peer_->address) : std::string(); }
    // The last measured, also once the link is closed.
    int roundTripMs() const override { return peer_ ? int(rtt_ = peer_->roundTripTime) : int(rtt_); }
    std::uint32_t nowMs() const override { return enet_time_get(); }
    Traffic traffic() const override {
        return {host_->totalSentData, host_->totalReceivedData, host_->totalSentPackets, host_->totalReceivedPackets};
    }

    void close(int timeoutMs) override {
        if (!peer_) return;
        rtt_ = peer_->roundTripTime;
        enet_peer_disconnect_later(peer_, 0);
        const enet_uint32 until = enet_time_get() + enet_uint32(timeoutMs);
        ENetEvent e;
        while (peer_ && enet_time_get() < until && enet_host_service(host_, &e, 10) >= 0) {
            if (e.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(e.packet);
            if (e.type == ENET_EVENT_TYPE_DISCONNECT) peer_ = nullptr;
        }
        if (peer_) enet_peer_reset(peer_);
        peer_ = nullptr;
    }

private:
    ENetHost* host_;
    ENetPeer* peer_ = nullptr;
    mutable enet_uint32 rtt_ = 0;
};

}  // namespace

std::unique_ptr<Transport> listen(std::uint16_t port, std::string& error) {
    if (!enetReady()) {
        error = "the network cannot be started";
        return nullptr;
    }
    ENetAddress address{ENET_HOST_ANY, port};
    ENetHost* host = enet_host_create(&address, 1, kChannels, 0, 0);
    if (!host) {
        error = "cannot listen on UDP port " + std::to_string(port) + " (is another game using it?)";
        return nullptr;
    }
    return std::make_unique<EnetTransport>(host);
}

std::unique_ptr<Transport> connect(const std::string& hostName, std::uint16_t port, std::string& error) {
    if (!enetReady()) {
        error = "the network cannot be started";
        return nullptr;
    }
    ENetAddress address{0, port};
    if (enet_address_set_host(&address, hostName.c_str()) != 0) {
        error = "cannot find \"" + hostName + "\" (an IPv4 address or a name with one)";
        return nullptr;
    }
    ENetHost* host = enet_host_create(nullptr, 1, kChannels, 0, 0);
    if (!host) {
        error = "cannot open a UDP socket";
        return nullptr;
    }
    auto transport = std::make_unique<EnetTransport>(host);
    transport->connectTo(address);
    return transport;
}

}  // namespace platform::net
