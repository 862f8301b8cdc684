// Writing a player's files so that a crash, a kill or a power cut never leaves
// a half-written one where a good one was: write beside it, hand it to the
// disk, then rename it over the old one.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Hands what was written to `file` to the disk (flushes the stream first).
bool syncFile(std::FILE* file);

// Renames `from` over `to` in one step and makes the rename itself durable; on
// failure `error` says why and both files are as they were.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);

}  // namespace platform
