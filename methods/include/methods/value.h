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

#include <algorithm>
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
[[gnu::always_inline]] constexpr uint32_t typeSize(int32_t type) {
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

  // Makes the entry a plain value in place.
  void set(int32_t valueType, uint64_t valueBits) {
    kind = kind::Value;
    type = valueType;
    bits = valueBits;
    region = nullptr;
    extent = 0;
  }
  void setFloat(float v) { set(+TypeCode::Float, std::bit_cast<uint32_t>(v)); }
  void setDouble(double v) { set(+TypeCode::Double, std::bit_cast<uint64_t>(v)); }
  void setAddress(std::span<std::byte> storage, uint32_t offset, int32_t elementType) {
    kind = kind::Address;
    type = elementType;
    bits = offset;
    region = storage.data();
    extent = static_cast<uint32_t>(storage.size());
  }

  // --- readers ---
  // The low 32 bits as a signed number: identifier numbers, text indexes,
  // variable ids and the values of compiled-list entries.
  int32_t word() const { return static_cast<int32_t>(static_cast<uint32_t>(bits)); }
  // The value of an integer type, sign- or zero-extended from its width.
  int64_t asInt64() const {
    switch (type) {
      case 0:
        return static_cast<int8_t>(bits);
      case 1:
        return static_cast<uint8_t>(bits);
      case 2:
        return static_cast<int16_t>(bits);
      case 3:
        return static_cast<uint16_t>(bits);
      case 4:
        return static_cast<int32_t>(static_cast<uint32_t>(bits));
      case 5:
        return static_cast<uint32_t>(bits);
      default:
        return static_cast<int64_t>(bits);
    }
  }
  float asFloat() const { return std::bit_cast<float>(static_cast<uint32_t>(bits)); }
  double asDouble() const { return std::bit_cast<double>(bits); }
  // Numeric value in double precision, whatever the type (0 for a bad code).
  double numeric() const {
    if (type == +TypeCode::Float) return asFloat();
    if (type == +TypeCode::Double) return asDouble();
    return isIntegerType(type) ? static_cast<double>(asInt64()) : 0.0;
  }
  // True when the value counts as zero (0.0 for the float types).
  bool isZero() const {
    if (type == +TypeCode::Float) return asFloat() == 0.0f;
    if (type == +TypeCode::Double) return asDouble() == 0.0;
    return isIntegerType(type) ? asInt64() == 0 : bits == 0;
  }
  // For address entries: the bytes from the address to the end of its
  // storage (empty when the offset lies outside).
  std::span<std::byte> addressed() const {
    if (kind != kind::Address || region == nullptr || bits >= extent) return {};
    return {region + bits, static_cast<std::size_t>(extent - bits)};
  }
};

bool convertBetweenTypes(Entry& e, int32_t toType);

// Converts the value slot to another type code; see value.cpp for the rules.
// False, with the entry unchanged, when either code lies outside 0 to 7.
inline bool convert(Entry& e, int32_t toType) {
  if (e.type == toType) return isTypeCode(toType);
  return convertBetweenTypes(e, toType);
}

// Reads a value of `type` from `bytes` (at most its width is read), and
// writes one at its type's width; both little-endian, as locals are stored.
[[gnu::always_inline]] inline void loadValueInto(Entry& e, std::span<const std::byte> bytes, int32_t type) {
  e.set(type, 0);
  switch (std::min<std::size_t>(typeSize(type), bytes.size())) {
    case 1:
      e.bits = static_cast<uint8_t>(bytes[0]);
      break;
    case 2: {
      uint16_t v;
      std::memcpy(&v, bytes.data(), 2);
      e.bits = v;
      break;
    }
    case 4: {
      uint32_t v;
      std::memcpy(&v, bytes.data(), 4);
      e.bits = v;
      break;
    }
    case 8:
      std::memcpy(&e.bits, bytes.data(), 8);
      break;
    default:
      std::memcpy(&e.bits, bytes.data(), std::min<std::size_t>(typeSize(type), bytes.size()));
      break;
  }
}

inline Entry loadValue(std::span<const std::byte> bytes, int32_t type) {
  Entry e;
  loadValueInto(e, bytes, type);
  return e;
}

[[gnu::always_inline]] inline void storeValue(std::span<std::byte> bytes, const Entry& value) {
  switch (std::min<std::size_t>(typeSize(value.type), bytes.size())) {
    case 1:
      bytes[0] = static_cast<std::byte>(value.bits);
      break;
    case 2: {
      const auto v = static_cast<uint16_t>(value.bits);
      std::memcpy(bytes.data(), &v, 2);
      break;
    }
    case 4: {
      const auto v = static_cast<uint32_t>(value.bits);
      std::memcpy(bytes.data(), &v, 4);
      break;
    }
    case 8:
      std::memcpy(bytes.data(), &value.bits, 8);
      break;
    default:
      std::memcpy(bytes.data(), &value.bits, std::min<std::size_t>(typeSize(value.type), bytes.size()));
      break;
  }
}

}  // namespace tavrin::methods
