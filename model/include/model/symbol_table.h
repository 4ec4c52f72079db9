// The symbol table: the one store of device values.
//
// Every registered VARIABLE has an entry (type tag, id, value state, size,
// place in value memory). Values live in a fixed value memory in device byte
// order, most significant byte first, exactly as they travel on the bus, so
// variable transfer copies them between memory and telegrams byte for byte.
//
// Both tables are fixed: 1,024 entries and 2,048 bytes. A variable that does
// not fit is refused, never stored past the end; lookups then simply do not
// find it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>

#include "lirrand.h"

namespace tavrin::model {

enum class ValueState : int32_t {
  Initial = 0,
  Changed = 1,
  Loaded = 2,
  PendingDownload = 3,  // marked by a download, until its write succeeds
};

struct SymbolEntry {
  int32_t typeTag = 0;  // the type node's tag (32 integer, 34 float, ...)
  int32_t id = -1;      // the variable's object id
  ValueState state = ValueState::Initial;
  uint32_t size = 0;     // bytes in value memory
  uint32_t address = 0;  // offset of the first byte in value memory
  const EddNode* root = nullptr;  // the VARIABLE tree it was registered from
};

class SymbolTable {
 public:
  static constexpr int32_t kMaxEntries = 1024;
  static constexpr uint32_t kMemorySize = 2048;

  enum class AddResult { Added, TableFull, MemoryFull };

  // Appends an entry whose bytes follow those handed out so far. Nothing is
  // stored when either table would overflow.
  AddResult add(int32_t typeTag, int32_t id, uint32_t size, const EddNode* root);
  void clear();

  // The first entry with this id, or nullptr.
  SymbolEntry* find(int32_t id);
  const SymbolEntry* find(int32_t id) const;

  int32_t count() const { return count_; }
  uint32_t used() const { return used_; }
  std::span<SymbolEntry> entries() { return {entries_.data(), static_cast<size_t>(count_)}; }
  std::span<const SymbolEntry> entries() const { return {entries_.data(), static_cast<size_t>(count_)}; }

  // Exactly the entry's bytes.
  std::span<std::byte> bytes(const SymbolEntry& e) { return {memory_.data() + e.address, e.size}; }
  std::span<const std::byte> bytes(const SymbolEntry& e) const { return {memory_.data() + e.address, e.size}; }
  std::span<std::byte> memory() { return memory_; }

 private:
  std::array<SymbolEntry, kMaxEntries> entries_{};
  std::array<std::byte, kMemorySize> memory_{};
  int32_t count_ = 0;
  uint32_t used_ = 0;
  // Where each id's first entry is: every formatted cell looks up its
  // variable, its unit's and its relation's, so a walk of the table would
  // be quadratic in the number of variables.
  std::unordered_map<int32_t, int32_t> firstById_;
};

// Device byte order: integers of 1 to 4 bytes and IEEE-754 floats, most
// significant byte first. The integer readers and writers give nothing or
// false for any other width.
std::optional<int32_t> readSigned(std::span<const std::byte> bytes);
std::optional<uint32_t> readUnsigned(std::span<const std::byte> bytes);
bool writeInteger(std::span<std::byte> bytes, uint32_t value);
float readFloat(std::span<const std::byte> bytes);   // needs 4 bytes
double readDouble(std::span<const std::byte> bytes); // needs 8 bytes
void writeFloat(std::span<std::byte> bytes, float value);
void writeDouble(std::span<std::byte> bytes, double value);

}  // namespace tavrin::model
