// The local variables of running methods: 64 entries in declaration order.
// An entry belongs to the method level that declared it; lookups see only the
// entries of the current level, so a called method never sees its caller's
// locals. Each entry owns its storage, zero-filled when declared.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tavrin::methods {

struct Symbol {
  std::string name;
  int32_t level = 0;
  int32_t identifier = -1;
  bool isArray = false;
  uint16_t type = 255;
  uint16_t size = 0;
  int32_t dimensionCount = 0;
  std::array<int32_t, 4> dimensions{};
  std::unique_ptr<std::byte[]> storage;

  std::span<std::byte> bytes() const { return {storage.get(), size}; }
};

class SymbolTable {
 public:
  static constexpr int32_t kCapacity = 64;

  int32_t count() const { return count_; }
  const Symbol& operator[](int32_t index) const { return entries_[index]; }

  // The first entry of this identifier at this level, or nullptr. Every
  // load of a local asks, so the answers are remembered: appending cannot
  // put an entry before the first one, and a release forgets them all.
  Symbol* find(int32_t identifier, int32_t level) {
    Found& memo = found_[static_cast<uint32_t>(identifier) % kFound];
    if (memo.identifier == identifier && memo.level == level && memo.index < count_) return &entries_[memo.index];
    for (int32_t i = 0; i < count_; ++i) {
      Symbol& s = entries_[i];
      if (s.identifier == identifier && s.level == level) {
        memo = {identifier, level, i};
        return &s;
      }
    }
    return nullptr;
  }
  // Appends an entry; false when all 64 are in use.
  bool add(Symbol symbol) {
    if (count_ >= kCapacity) return false;
    entries_[count_++] = std::move(symbol);
    return true;
  }
  // Frees every entry from `count` on.
  void releaseDownTo(int32_t count) {
    if (count < 0) count = 0;
    for (int32_t i = count; i < count_; ++i) entries_[i] = Symbol{};
    if (count < count_) count_ = count;
    found_.fill(Found{});
  }
  void reset() { releaseDownTo(0); }

 private:
  struct Found {
    int32_t identifier = -1;
    int32_t level = -1;
    int32_t index = kCapacity;  // never below the count: nothing remembered
  };
  static constexpr uint32_t kFound = 16;

  std::array<Symbol, kCapacity> entries_{};
  int32_t count_ = 0;
  std::array<Found, kFound> found_{};
};

}  // namespace tavrin::methods
