// The state dump: the whole world as one line of JSON, for replay checks.
#pragma once

#include <cstdint>
#include <string>

namespace tb {

// The world after `passes` completed passes, as one JSON object (no newline).
std::string formatStateDump(std::int64_t passes);

}  // namespace tb
