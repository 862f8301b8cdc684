// The state dump: every scalar, the heat grid and every record of every table,
// floats with nine significant digits so that they read back to the same value.
#include "app/dump.h"

#include <cmath>
#include <concepts>
#include <cstdio>
#include <type_traits>

#include "core/fields.h"
#include "core/world.h"

namespace tb {
namespace {

class JsonLine {
public:
    JsonLine() { out_ += '{'; }
    std::string finish() { return std::move(out_ += '}'); }

    template <typename T>
    void field(const char* name, const T& v) {
        if (!first_) out_ += ',';
        first_ = false;
        out_ += '"';
        out_ += name;
        out_ += "\":";
        value(v);
    }

private:
    template <std::integral T>
    void value(T v) {
        out_ += std::to_string(std::int64_t(v));
    }
    void value(float v) {
        if (std::isnan(v)) {
            out_ += "\"nan\"";
        } else if (std::isinf(v)) {
            out_ += v > 0 ? "\"inf\"" : "\"-inf\"";
        } else {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.9g", double(v));
            out_ += buf;
        }
    }
    template <typename T, std::size_t N>
    void value(const T (&items)[N]) {
        out_ += '[';
        for (std::size_t i = 0; i < N; ++i) {
            if (i > 0) out_ += ',';
            value(items[i]);
        }
        out_ += ']';
    }
    // An entity record: its fields as an object.
    template <typename Record>
    requires std::is_class_v<Record>
    void value(const Record& record) {
        out_ += '{';
        first_ = true;
        JsonLine& self = *this;  // named: clang cannot see `this` used in a generic lambda's dependent call
        forEachField(record, [&self](const char* name, const auto& v) { self.field(name, v); });
        out_ += '}';
        first_ = false;
    }

    std::string out_;
    bool first_ = true;
};

}  // namespace

std::string formatDumpHeader() { return "{\"program\":\"tankbattle\",\"version\":\"" TANKBATTLE_VERSION "\"}"; }

std::string formatStateDump(std::int64_t passes, const WorldState& state) {
    JsonLine j;
    j.field("pass", passes);
    forEachField(state, [&j](const char* name, const auto& v) { j.field(name, v); });
    return j.finish();
}

}  // namespace tb
