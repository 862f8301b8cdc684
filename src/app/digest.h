// The one digest of the project's checks: 64-bit FNV-1a, for pictures, the
// state of the world and the data files. Short, defined byte by byte, the same
// on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tb {

constexpr std::uint64_t kDigestStart = 14695981039346656037ull;

// Continues digest `h` over `size` bytes.
inline std::uint64_t digestBytes(const void* data, std::size_t size, std::uint64_t h = kDigestStart) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

// 16 lower-case hex digits.
std::string digestHex(std::uint64_t digest);

}  // namespace tb
