// The block directory of a Profibus PA device: where its physical,
// transducer and function blocks live (slot and start index), so that
// commands can address parameters relative to a block.
//
// The directory is the 28 bytes the device reports at slot 1, index 1:
// seven 4-byte entries. Entries 1 to 3 (bytes 0 to 11) describe the three
// block groups; byte 1 of each is the directory entry number of the group's
// first block. The remaining entries give, per block, its slot (byte 0) and
// start index (byte 1). Until a device has been read the directory holds a
// default that matches the common three-block layout.
//
// The directory outlives descriptions: a connect that does not read it keeps
// what an earlier one read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tavrin::model {

// The block groups, by the tag that names them in a BLOCK's type.
enum class BlockKind : uint16_t { Physical = 359, Transducer = 360, Function = 361 };

struct BlockPlace {
  uint8_t slot = 0;
  uint8_t indexOffset = 0;
};

class BlockDirectory {
 public:
  static constexpr size_t kSize = 28;
  static constexpr size_t kFirstBlockEntry = 12;  // after the three group entries
  using Bytes = std::array<uint8_t, kSize>;
  static constexpr Bytes kDefault = {0x01, 0x04, 0x00, 0x01, 0x01, 0x05, 0x00, 0x01, 0x01, 0x06,
                                     0x00, 0x02, 0x00, 0x10, 0x00, 0x30, 0x01, 0x5C, 0x00, 0x58,
                                     0x01, 0x10, 0x00, 0x37, 0x02, 0x10, 0x00, 0x2E};

  // Stores what the device reported.
  void set(std::span<const uint8_t, kSize> bytes);
  // Empties the directory before a read (a failed read leaves it zeroed).
  void clear() { bytes_.fill(0); }
  void reset() { bytes_ = kDefault; }
  const Bytes& bytes() const { return bytes_; }

  // Where block `number` (counted from 1) of a group lives. Nothing when
  // the directory points anywhere but at one of its block entries (a
  // zeroed directory, a foreign one, or a block number it does not have).
  std::optional<BlockPlace> locate(BlockKind kind, int64_t number) const;

 private:
  Bytes bytes_ = kDefault;
};

}  // namespace tavrin::model
