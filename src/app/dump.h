// The state dump: the whole world as one line of JSON, for replay checks.
#pragma once

#include <cstdint>
#include <string>

#include "core/world.h"

namespace tb {

// The first line of a dump file: which program and version wrote it, as one
// JSON object (no newline). It has no "pass", which tells it from the world's lines.
std::string formatDumpHeader();

// A world after `passes` completed passes, as one JSON object (no newline).
std::string formatStateDump(std::int64_t passes, const WorldState& state = world);

}  // namespace tb
