#include "sim/values.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tavrin::sim {
namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct Limits {
  long long low;
  long long high;
};

// Signed types take their negative range and also the unsigned bit pattern,
// so "i16: 0xFFFF" and "i16: -1" mean the same register.
Limits limitsOf(Encoding e) {
  switch (e) {
    case Encoding::U8: return {0, 0xFF};
    case Encoding::I8: return {-0x80, 0xFF};
    case Encoding::U16: return {0, 0xFFFF};
    case Encoding::I16: return {-0x8000, 0xFFFF};
    case Encoding::U32: return {0, 0xFFFFFFFFLL};
    case Encoding::I32: return {-0x80000000LL, 0xFFFFFFFFLL};
    default: return {0, 0};
  }
}

bool isFloat(Encoding e) { return e == Encoding::F32 || e == Encoding::F64; }

void putBigEndian(uint64_t v, size_t size, uint8_t* out) {
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(v >> (8 * (size - 1 - i)));
}

uint64_t getBigEndian(const uint8_t* in, size_t size) {
  uint64_t v = 0;
  for (size_t i = 0; i < size; ++i) v = (v << 8) | in[i];
  return v;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

size_t encodingSize(Encoding e) {
  switch (e) {
    case Encoding::U8:
    case Encoding::I8: return 1;
    case Encoding::U16:
    case Encoding::I16: return 2;
    case Encoding::U32:
    case Encoding::I32:
    case Encoding::F32: return 4;
    case Encoding::F64: return 8;
  }
  return 1;
}

std::optional<Encoding> encodingByName(std::string_view name) {
  static constexpr std::pair<std::string_view, Encoding> kNames[] = {
      {"u8", Encoding::U8},   {"i8", Encoding::I8},   {"u16", Encoding::U16}, {"i16", Encoding::I16},
      {"u32", Encoding::U32}, {"i32", Encoding::I32}, {"f32", Encoding::F32}, {"f64", Encoding::F64}};
  std::string n = lower(name);
  for (auto [text, e] : kNames)
    if (n == text) return e;
  return std::nullopt;
}

void encodeValue(Encoding e, double value, uint8_t* out) {
  size_t size = encodingSize(e);
  if (e == Encoding::F32) {
    // Beyond the float range the conversion is undefined: it becomes infinity.
    float f = std::fabs(value) > std::numeric_limits<float>::max() && std::isfinite(value)
                  ? std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(value > 0 ? 1 : -1))
                  : static_cast<float>(value);
    putBigEndian(std::bit_cast<uint32_t>(f), 4, out);
    return;
  }
  if (e == Encoding::F64) {
    putBigEndian(std::bit_cast<uint64_t>(value), 8, out);
    return;
  }
  bool isSigned = e == Encoding::I8 || e == Encoding::I16 || e == Encoding::I32;
  double bits = 8.0 * static_cast<double>(size);
  double low = isSigned ? -std::ldexp(1.0, static_cast<int>(bits) - 1) : 0.0;
  double high = isSigned ? std::ldexp(1.0, static_cast<int>(bits) - 1) - 1 : std::ldexp(1.0, static_cast<int>(bits)) - 1;
  double v = std::isnan(value) ? 0.0 : std::clamp(std::nearbyint(value), low, high);
  putBigEndian(static_cast<uint64_t>(static_cast<long long>(v)), size, out);
}

double decodeValue(Encoding e, const uint8_t* in) {
  size_t size = encodingSize(e);
  uint64_t raw = getBigEndian(in, size);
  switch (e) {
    case Encoding::F32: return std::bit_cast<float>(static_cast<uint32_t>(raw));
    case Encoding::F64: return std::bit_cast<double>(raw);
    case Encoding::I8: return static_cast<int8_t>(raw);
    case Encoding::I16: return static_cast<int16_t>(raw);
    case Encoding::I32: return static_cast<int32_t>(raw);
    default: return static_cast<double>(raw);
  }
}

std::optional<long long> parseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 15) return std::nullopt;  // no overflow below 2^60
  long long v = 0;
  for (char c : text) {
    int d = hexDigit(c);
    if (d < 0 || d >= base) return std::nullopt;
    v = v * base + d;
  }
  return negative ? -v : v;
}

std::optional<double> parseNumber(std::string_view text) {
  if (auto i = parseInteger(text)) return static_cast<double>(*i);
  if (text.empty() || text.size() > 64) return std::nullopt;
  std::string s(text);
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<Bytes> parseBytes(std::string_view text, Encoding defaultType, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<Bytes> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  Bytes out;
  std::optional<Encoding> type = defaultType;  // nothing: hex digits
  size_t pos = 0;
  while (true) {
    while (pos < text.size() && isSeparator(text[pos])) ++pos;
    if (pos >= text.size()) break;
    size_t end = pos;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    std::string_view token = text.substr(pos, end - pos);
    std::string low = lower(token.substr(0, 4));
    if (low == "text") {
      size_t colon = text.find(':', pos);
      if (colon == std::string_view::npos || colon >= end) return fail("a text item needs a colon: " + std::string(token));
      std::string_view width = text.substr(pos + 4, colon - pos - 4);
      std::string_view content = text.substr(colon + 1);
      Bytes textBytes(content.begin(), content.end());
      if (!width.empty()) {
        auto w = parseInteger(width);
        if (!w || *w < 1 || *w > 4096) return fail("bad text width: " + std::string(token));
        if (textBytes.size() > static_cast<size_t>(*w))
          return fail("text longer than " + std::to_string(*w) + " bytes: " + std::string(content));
        textBytes.resize(static_cast<size_t>(*w), ' ');
      }
      out.insert(out.end(), textBytes.begin(), textBytes.end());
      break;
    }
    pos = end;
    size_t colon = token.find(':');
    if (colon != std::string_view::npos) {
      std::string name = lower(token.substr(0, colon));
      if (name == "hex") {
        type.reset();
      } else if (auto e = encodingByName(name)) {
        type = *e;
      } else {
        return fail("unknown type: " + name);
      }
      token.remove_prefix(colon + 1);
      if (token.empty()) continue;
    }
    if (!type) {
      if (token.size() % 2 != 0) return fail("odd number of hex digits: " + std::string(token));
      for (size_t i = 0; i < token.size(); i += 2) {
        int hi = hexDigit(token[i]), lo = hexDigit(token[i + 1]);
        if (hi < 0 || lo < 0) return fail("not hex: " + std::string(token));
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
      }
      continue;
    }
    uint8_t buffer[8];
    if (isFloat(*type)) {
      auto v = parseNumber(token);
      if (!v) return fail("not a number: " + std::string(token));
      encodeValue(*type, *v, buffer);
    } else {
      auto v = parseInteger(token);
      Limits limits = limitsOf(*type);
      if (!v) return fail("not an integer: " + std::string(token));
      if (*v < limits.low || *v > limits.high) return fail("out of range for its type: " + std::string(token));
      putBigEndian(static_cast<uint64_t>(*v), encodingSize(*type), buffer);
    }
    out.insert(out.end(), buffer, buffer + encodingSize(*type));
  }
  if (out.empty()) return fail("no bytes");
  return out;
}

std::string formatBytes(ByteView bytes) {
  // A printable text keeps its leading blanks after the colon, and its
  // trailing blanks come back from the padding width.
  bool printable = !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b >= 0x20 && b < 0x7F; });
  size_t used = bytes.size();
  while (used > 0 && bytes[used - 1] == ' ') --used;
  if (printable && used > 0) {
    std::string out = "text" + std::to_string(bytes.size()) + ":";
    out.append(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(used));
    return out;
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "hex:";
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += (i % 4 == 0) ? " " : "";
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

std::string formatRegisters(ByteView bytes) {
  std::string out;
  char word[8];
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::snprintf(word, sizeof word, "0x%02X%02X", bytes[i], bytes[i + 1]);
    if (!out.empty()) out += ' ';
    out += word;
  }
  return out;
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    if (end > pos) out.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return out;
}

}  // namespace tavrin::sim
