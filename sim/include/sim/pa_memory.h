// The memory of a PA transmitter as the acyclic services see it: entries
// addressed by slot and index, each a byte string of fixed length, and the
// three error bytes of a negative DPV1 reply.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "sim/bytes.h"

namespace tavrin::sim {

struct PaEntry {
  Bytes data;
  bool readOnly = false;
};

using EntryKey = std::pair<uint8_t, uint8_t>;  // slot, index
using EntryMap = std::map<EntryKey, PaEntry>;

// A DPV1 read or write answer may carry at most this many data bytes.
inline constexpr size_t kMaxEntrySize = 240;

struct DpvError {
  uint8_t decode = 0x80;  // DPV1
  uint8_t code1 = 0;      // class in the high four bits, code in the low
  uint8_t code2 = 0;
  bool operator==(const DpvError&) const = default;
};

namespace dpv {
inline constexpr uint8_t kInvalidIndex = 0xB0;
inline constexpr uint8_t kWriteLength = 0xB1;
inline constexpr uint8_t kInvalidSlot = 0xB2;
inline constexpr uint8_t kStateConflict = 0xB5;
inline constexpr uint8_t kAccessDenied = 0xB6;
inline constexpr uint8_t kInvalidRange = 0xB7;
inline constexpr uint8_t kInvalidParameter = 0xB8;
}  // namespace dpv

}  // namespace tavrin::sim
