#include "model/block_directory.h"

#include <algorithm>

namespace tavrin::model {

void BlockDirectory::set(std::span<const uint8_t, kSize> bytes) {
  std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

std::optional<BlockPlace> BlockDirectory::locate(BlockKind kind, int64_t number) const {
  size_t group = 0;
  switch (kind) {
    case BlockKind::Physical:
      group = 1;
      break;
    case BlockKind::Transducer:
      group = 5;
      break;
    case BlockKind::Function:
      group = 9;
      break;
  }
  // Entry and block numbers both count from 1: block b of a group whose
  // first block is entry d is entry d + b - 1, at byte (d + b - 2) x 4. Only
  // the entries after the three group entries describe blocks; a zeroed
  // directory (entry number 0) describes none, and block 0 would be another
  // group's.
  const int64_t first = bytes_[group];
  const int64_t position = (first + number) * 4 - 8;
  if (first == 0 || number < 1 || position < static_cast<int64_t>(kFirstBlockEntry) ||
      position + 1 >= static_cast<int64_t>(kSize))
    return std::nullopt;
  return BlockPlace{bytes_[static_cast<size_t>(position)], bytes_[static_cast<size_t>(position) + 1]};
}

}  // namespace tavrin::model
