#include "model/symbol_table.h"

#include <bit>

namespace tavrin::model {

SymbolTable::AddResult SymbolTable::add(int32_t typeTag, int32_t id, uint32_t size, const EddNode* root) {
  if (count_ >= kMaxEntries) return AddResult::TableFull;
  if (used_ >= kMemorySize || size > kMemorySize - used_) return AddResult::MemoryFull;
  firstById_.emplace(id, count_);  // an id added again keeps its first entry
  entries_[static_cast<size_t>(count_++)] = {typeTag, id, ValueState::Initial, size, used_, root};
  used_ += size;
  return AddResult::Added;
}

void SymbolTable::clear() {
  entries_.fill({});
  memory_.fill(std::byte{0});
  count_ = 0;
  used_ = 0;
  firstById_.clear();
}

SymbolEntry* SymbolTable::find(int32_t id) {
  const auto at = firstById_.find(id);
  return at == firstById_.end() ? nullptr : &entries_[static_cast<size_t>(at->second)];
}

const SymbolEntry* SymbolTable::find(int32_t id) const { return const_cast<SymbolTable*>(this)->find(id); }

namespace {

uint64_t readBigEndian(std::span<const std::byte> bytes, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v = (v << 8) | (i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0u);
  return v;
}

void writeBigEndian(std::span<std::byte> bytes, uint64_t value, size_t width) {
  for (size_t i = 0; i < width && i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::byte>(value >> (8 * (width - 1 - i)));
  }
}

}  // namespace

std::optional<uint32_t> readUnsigned(std::span<const std::byte> bytes) {
  if (bytes.empty() || bytes.size() > 4) return std::nullopt;
  return static_cast<uint32_t>(readBigEndian(bytes, bytes.size()));
}

std::optional<int32_t> readSigned(std::span<const std::byte> bytes) {
  const auto u = readUnsigned(bytes);
  if (!u) return std::nullopt;
  const unsigned shift = 32 - 8 * static_cast<unsigned>(bytes.size());
  // Moves the value's sign bit to bit 31 and back, extending it.
  return static_cast<int32_t>(*u << shift) >> shift;
}

bool writeInteger(std::span<std::byte> bytes, uint32_t value) {
  if (bytes.empty() || bytes.size() > 4) return false;
  writeBigEndian(bytes, value, bytes.size());
  return true;
}

float readFloat(std::span<const std::byte> bytes) {
  return std::bit_cast<float>(static_cast<uint32_t>(readBigEndian(bytes, 4)));
}

double readDouble(std::span<const std::byte> bytes) { return std::bit_cast<double>(readBigEndian(bytes, 8)); }

void writeFloat(std::span<std::byte> bytes, float value) { writeBigEndian(bytes, std::bit_cast<uint32_t>(value), 4); }

void writeDouble(std::span<std::byte> bytes, double value) {
  writeBigEndian(bytes, std::bit_cast<uint64_t>(value), 8);
}

}  // namespace tavrin::model
