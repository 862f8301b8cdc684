// Messages as bytes: a type byte, then fixed-size little-endian numbers,
// counted texts, and keys as variable-length numbers (a pass with no key is one byte).
#include "app/packets.h"

#include <type_traits>

namespace tb::net {
namespace {

enum Type : std::uint8_t { kHello = 1, kWelcome, kRefusal, kInputs, kCheck, kPause };
constexpr platform::KeySet kAllKeys = (platform::KeySet(1) << 30) - 1;

class Writer {
public:
    void byte(std::uint8_t v) { out.push_back(v); }
    void number(std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
    }
    void varint(std::uint32_t v) {
        for (; v >= 0x80; v >>= 7) out.push_back(std::uint8_t(v | 0x80));
        out.push_back(std::uint8_t(v));
    }
    void text(const std::string& s) {
        const std::size_t n = s.size() < kMaxText ? s.size() : kMaxText;
        byte(std::uint8_t(n));
        for (std::size_t i = 0; i < n; ++i) out.push_back(std::uint8_t(s[i]));
    }
    std::vector<std::uint8_t> out;
};

// Every read checks the bytes left; a failed read leaves ok false for good.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    std::uint64_t number(int bytes) {
        if (end_ - p_ < bytes) return fail();
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= std::uint64_t(*p_++) << (8 * i);
        return v;
    }
    std::uint32_t varint() {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (p_ == end_) return std::uint32_t(fail());
            const std::uint8_t b = *p_++;
            v |= std::uint32_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        return std::uint32_t(fail());
    }
    std::string text() {
        const std::size_t n = std::size_t(number(1));
        if (!ok || n > kMaxText || std::size_t(end_ - p_) < n) return fail(), std::string();
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    bool done() const { return ok && p_ == end_; }
    bool ok = true;

private:
    std::uint64_t fail() {
        ok = false;
        p_ = end_;
        return 0;
    }
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

bool validPass(std::int64_t pass) { return pass >= 0 && pass < kPassLimit; }

}  // namespace

std::vector<std::uint8_t> encode(const Message& message) {
    Writer w;
    std::visit(
        [&w](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, Greeting>) {
                w.byte(m.welcome ? kWelcome : kHello);
                w.number(m.protocol, 2);
                w.text(m.version);
                w.number(m.data, 8);
                w.number(std::uint64_t((m.frames < kPassLimit ? m.frames : kPassLimit) + 1), 4);
            } else if constexpr (std::is_same_v<T, Refusal>) {
                w.byte(kRefusal);
                w.text(m.reason);
            } else if constexpr (std::is_same_v<T, Inputs>) {
                // Sent every pass or two: pass numbers as variable-length numbers too.
                w.byte(kInputs);
                w.varint(std::uint32_t(m.ack));
                w.varint(std::uint32_t(m.first));
                w.varint(std::uint32_t(m.present));
                w.byte(std::uint8_t(m.keys.size()));
                for (platform::KeySet k : m.keys) w.varint(k);
            } else if constexpr (std::is_same_v<T, Check>) {
                w.byte(kCheck);
                w.number(std::uint64_t(m.passes), 4);
                w.number(m.digest, 8);
            } else {
                w.byte(kPause);
                w.byte(m.paused ? 1 : 0);
            }
        },
        message);
    return std::move(w.out);
}

bool decode(const std::uint8_t* data, std::size_t size, Message& message) {
    Reader r(data, size);
    switch (r.number(1)) {
        case kHello:
        case kWelcome: {
            Greeting g;
            g.welcome = data[0] == kWelcome;
            g.protocol = std::uint16_t(r.number(2));
            g.version = r.text();
            g.data = r.number(8);
            g.frames = std::int64_t(r.number(4)) - 1;
            if (g.frames > kPassLimit) return false;
            message = g;
            break;
        }
        case kRefusal: message = Refusal{r.text()}; break;
        case kInputs: {
            Inputs in;
            in.ack = std::int64_t(r.varint());
            in.first = std::int64_t(r.varint());
            in.present = std::int64_t(r.varint());
            const std::size_t count = std::size_t(r.number(1));
            if (count > kMaxInputsPerMessage || !validPass(in.ack) || !validPass(in.present) ||
                !validPass(in.first + std::int64_t(count)))
                return false;
            for (std::size_t i = 0; i < count && r.ok; ++i) {
                const platform::KeySet k = r.varint();
                if (k & ~kAllKeys) return false;
                in.keys.push_back(k);
            }
            message = std::move(in);
            break;
        }
        case kCheck: {
            Check c;
            c.passes = std::int64_t(r.number(4));
            c.digest = r.number(8);
            if (!validPass(c.passes)) return false;
            message = c;
            break;
        }
        case kPause: {
            const std::uint64_t paused = r.number(1);
            if (paused > 1) return false;
            message = Pause{paused == 1};
            break;
        }
        default: return false;
    }
    return r.done();
}

}  // namespace tb::net
