// The typed entry of the method machine's value stack, shared by the method
// compiler and machine, the built-ins and the description model.
//
// An entry is a kind, a type code and an 8-byte value. Integers live in the
// low bytes at their own width, a float in the first four bytes, a double in
// all eight; readers always read at the width of the type, so a narrowing
// conversion may leave stale upper bytes behind without changing the value.
//
// Address entries (kind 2) never carry a raw pointer in their value: they
// carry the storage they point into (its start and extent) and a byte offset
// inside it, so that every read and write through an address can be checked
// against the extent. Only the factory below makes one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tavrin::methods {

static_assert(std::endian::native == std::endian::little, "value slots are laid out little-endian");

// Type codes of method values and locals.
enum class TypeCode : int32_t {
  Char = 0,
  UnsignedChar = 1,
  Short = 2,
  UnsignedShort = 3,
  Int = 4,
  UnsignedInt = 5,
  Float = 6,
  Double = 7,
};

constexpr int32_t operator+(TypeCode t) { return static_cast<int32_t>(t); }

constexpr bool isTypeCode(int32_t type) { return type >= 0 && type <= 7; }
constexpr bool isIntegerType(int32_t type) { return type >= 0 && type <= 5; }
constexpr bool isFloatType(int32_t type) { return type == 6 || type == 7; }
constexpr bool isSignedType(int32_t type) { return type == 0 || type == 2 || type == 4; }
// Size in bytes of a value of the type; 0 for a code outside 0 to 7.
constexpr uint32_t typeSize(int32_t type) {
  constexpr uint32_t sizes[] = {1, 1, 2, 2, 4, 4, 4, 8};
  return isTypeCode(type) ? sizes[type] : 0;
}

// Entry kinds the engine itself uses. The description model puts further
// kinds on the stack for its compiled lists (the tag numbers of the items);
// the engine leaves those alone.
namespace kind {
inline constexpr int32_t Value = 0;
inline constexpr int32_t DeviceReference = 1;  // value: identifier number of a description object
inline constexpr int32_t Address = 2;          // see the file comment
inline constexpr int32_t StringConstant = 4;   // value: text index
inline constexpr int32_t Marker = 5;           // statement marker
inline constexpr int32_t ResolvedReference = 30;  // value: variable id
}  // namespace kind

struct Entry {
  int32_t kind = kind::Value;
  int32_t type = +TypeCode::Int;
  uint64_t bits = 0;
  // Address entries only: the storage the address points into.
  std::byte* region = nullptr;
  uint32_t extent = 0;

  // --- factories ---
  static Entry ofInt(int32_t v) { return integer(TypeCode::Int, static_cast<uint32_t>(v)); }
  static Entry ofUnsigned(uint32_t v) { return integer(TypeCode::UnsignedInt, v); }
  static Entry ofFloat(float v) {
    Entry e;
    e.type = +TypeCode::Float;
    e.bits = std::bit_cast<uint32_t>(v);
    return e;
  }
  static Entry ofDouble(double v) {
    Entry e;
    e.type = +TypeCode::Double;
    e.bits = std::bit_cast<uint64_t>(v);
    return e;
  }
  // A value of an integer type from its bits; only the low bytes of the
  // type's width count.
  static Entry integer(TypeCode type, uint64_t bits) {
    Entry e;
    e.type = +type;
    e.bits = bits;
    return e;
  }
  static Entry deviceReference(int32_t id) { return tagged(kind::DeviceReference, +TypeCode::UnsignedInt, id); }
  static Entry stringConstant(int32_t textIndex) {
    return tagged(kind::StringConstant, +TypeCode::UnsignedInt, textIndex);
  }
  static Entry marker() { return tagged(kind::Marker, +TypeCode::Int, 0); }
  static Entry resolvedReference(int32_t variableId) {
    return tagged(kind::ResolvedReference, +TypeCode::UnsignedInt, variableId);
  }
  // Any kind with a 32-bit value, for compiled lists.
  static Entry tagged(int32_t kind, int32_t type, int32_t value) {
    Entry e;
    e.kind = kind;
    e.type = type;
    e.bits = static_cast<uint32_t>(value);
    return e;
  }
  // An address of an element of `type` at `offset` bytes into `storage`.
  static Entry address(std::span<std::byte> storage, uint32_t offset, int32_t type) {
    Entry e;
    e.kind = kind::Address;
    e.type = type;
    e.region = storage.data();
    e.extent = static_cast<uint32_t>(storage.size());
    e.bits = offset;
    return e;
  }

  // --- readers ---
  // The low 32 bits as a signed number: identifier numbers, text indexes,
  // variable ids and the values of compiled-list entries.
  int32_t word() const { return static_cast<int32_t>(static_cast<uint32_t>(bits)); }
  // The value of an integer type, sign- or zero-extended from its width.
  int64_t asInt64() const;
  float asFloat() const { return std::bit_cast<float>(static_cast<uint32_t>(bits)); }
  double asDouble() const { return std::bit_cast<double>(bits); }
  // Numeric value in double precision, whatever the type (0 for a bad code).
  double numeric() const;
  // True when the value counts as zero (0.0 for the float types).
  bool isZero() const;
  // For address entries: the bytes from the address to the end of its
  // storage (empty when the offset lies outside).
  std::span<std::byte> addressed() const;
};

// Converts the value slot to another type code; see value.cpp for the rules.
// False, with the entry unchanged, when either code lies outside 0 to 7.
bool convert(Entry& e, int32_t toType);

// Reads a value of `type` from `bytes` (which must hold typeSize(type)), and
// writes one; both little-endian, as locals are stored.
Entry loadValue(std::span<const std::byte> bytes, int32_t type);
void storeValue(std::span<std::byte> bytes, const Entry& value);

}  // namespace tavrin::methods
