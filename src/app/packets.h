// The messages two games exchange in online play, and their bytes on the wire.
// A peer's datagrams are untrusted input: decoding checks every size and pass
// number and refuses anything that is not exactly one well-formed message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/keyboard.h"

namespace tb::net {

constexpr std::uint16_t kProtocolVersion = 1;
// The most passes of keys one message carries.
constexpr std::size_t kMaxInputsPerMessage = 64;
// Pass numbers stay below this (over a year of play at 60 passes a second).
constexpr std::int64_t kPassLimit = std::int64_t(1) << 31;
constexpr std::size_t kMaxText = 200;

// The guest's first message, and the host's answer when the two games match.
struct Greeting {
    bool welcome = false;  // false: the guest's hello; true: the host's welcome
    std::uint16_t protocol = kProtocolVersion;
    std::string version;       // the game's version
    std::uint64_t data = 0;    // digest of the data files that decide the game
    std::int64_t frames = -1;  // the most passes this side plays; -1: until Escape
};

// The host will not play with this guest, and why.
struct Refusal {
    std::string reason;
};

// The sender's keys for passes first, first + 1, ...; `ack` is how many of the
// receiver's passes the sender holds, `present` the pass the sender runs next.
struct Inputs {
    std::int64_t ack = 0, first = 0, present = 0;
    std::vector<platform::KeySet> keys;
};

// A digest of the game's state after `passes` passes, to compare.
struct Check {
    std::int64_t passes = 0;
    std::uint64_t digest = 0;
};

// The sender's player paused the game, or went on.
struct Pause {
    bool paused = false;
};

using Message = std::variant<Greeting, Refusal, Inputs, Check, Pause>;

std::vector<std::uint8_t> encode(const Message& message);
// False when the bytes are not exactly one well-formed message.
bool decode(const std::uint8_t* data, std::size_t size, Message& message);

}  // namespace tb::net
