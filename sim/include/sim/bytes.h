// Byte strings as they travel on the line and sit in device memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tavrin::sim {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

}  // namespace tavrin::sim
