#include "kelvane/reception_parts.h"

#include "kelvane/telegram.h"

namespace tavrin::kelvane {
namespace {

constexpr size_t kShortFrame = 4;  // 0x10 DA SA FC
constexpr size_t kCrcBytes = 2;
constexpr uint8_t kShortStart = 0x10;
constexpr uint8_t kLongStart = 0x68;

// The length of a telegram with its CRC that starts at from[0], whatever
// its CRC, or 0 when the bytes there have no telegram's shape.
size_t shapedLength(std::span<const uint8_t> from) {
  if (from.size() >= kShortFrame + kCrcBytes && from[0] == kShortStart && from[3] == 0x00)
    return kShortFrame + kCrcBytes;
  if (from.size() >= 4 && from[0] == kLongStart && from[3] == kLongStart && from[1] == from[2]) {
    const size_t length = size_t{from[1]} + 4 + kCrcBytes;
    if (length <= from.size()) return length;
  }
  return 0;
}

// The bytes between two telegrams: telegrams with a wrong CRC among noise.
void splitGap(std::span<const uint8_t> received, size_t from, size_t to, std::vector<ReceptionPart>& parts) {
  size_t noise = from;
  for (size_t p = from; p < to;) {
    const size_t length = shapedLength(received.subspan(p, to - p));
    if (length == 0) {
      ++p;
      continue;
    }
    if (p > noise) parts.push_back({noise, p - noise, FrameOutcome::Discarded});
    parts.push_back({p, length, FrameOutcome::CrcError});
    p += length;
    noise = p;
  }
  if (to > noise) parts.push_back({noise, to - noise, FrameOutcome::Discarded});
}

}  // namespace

std::vector<ReceptionPart> splitReception(std::span<const uint8_t> received) {
  std::vector<ReceptionPart> parts;
  size_t done = 0;
  for (const auto& reply : findReplies(received)) {
    const auto at = static_cast<size_t>(reply.data() - received.data());
    // A reply excludes its CRC; the short acknowledge has none.
    const size_t length = reply.size() == 1 ? 1 : reply.size() + kCrcBytes;
    if (at < done || at + length > received.size()) continue;
    splitGap(received, done, at, parts);
    parts.push_back({at, length, FrameOutcome::Reply});
    done = at + length;
  }
  splitGap(received, done, received.size(), parts);
  return parts;
}

}  // namespace tavrin::kelvane
