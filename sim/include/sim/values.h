// How device memory is written in a profile: numbers, typed items and texts
// turned into the bytes a device holds (big-endian, as both buses carry
// them), and back into profile text when the memory is saved.
//
// A value is a list of items separated by blanks or commas:
//   12 0x0C            numbers in the current type (decimal or 0x hex)
//   u16: 1 2 3         a type name with a colon switches the type for the
//   f32:101.325        numbers after it; it may be glued to the first one
//   hex: 0A0B 0C       hex digits, two per byte
//   text16:PT 100      a text taking the rest of the value verbatim, padded
//                      with blanks to 16 bytes ("text:" without padding)
// Types: u8 i8 u16 i16 u32 i32 f32 f64 hex.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "sim/bytes.h"

namespace tavrin::sim {

enum class Encoding { U8, I8, U16, I16, U32, I32, F32, F64 };

size_t encodingSize(Encoding e);
std::optional<Encoding> encodingByName(std::string_view name);

// Integers are rounded to the nearest and held at the limits of their type;
// a NaN becomes 0.
void encodeValue(Encoding e, double value, uint8_t* out);
double decodeValue(Encoding e, const uint8_t* in);

// Decimal or 0x-prefixed hexadecimal, with an optional sign; the whole text
// must be the number.
std::optional<long long> parseInteger(std::string_view text);
std::optional<double> parseNumber(std::string_view text);

// Nothing, and a reason in error, for a value that is not well formed or
// holds a number outside its type.
std::optional<Bytes> parseBytes(std::string_view text, Encoding defaultType, std::string* error);

// Profile text that parseBytes turns back into the same bytes: a padded
// text for printable bytes (textN:...), else "hex:" with the bytes.
std::string formatBytes(ByteView bytes);
// The same bytes as a list of 16-bit hexadecimal numbers (even length).
std::string formatRegisters(ByteView bytes);

// Blank-separated words of a text.
std::vector<std::string_view> words(std::string_view text);

}  // namespace tavrin::sim
