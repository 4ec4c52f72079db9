#include "eddtext/quote.h"

#include <cstdint>

namespace tavrin::eddtext {
namespace {

// Length of the valid UTF-8 sequence at s[i], or 0. Overlong forms,
// surrogates and code points above U+10FFFF are not valid.
size_t utf8Length(std::string_view s, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = at(i);
  size_t n;
  uint32_t min;
  uint32_t cp;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) {
    n = 2, min = 0x80, cp = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, min = 0x800, cp = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, cp = b & 0x07;
  } else {
    return 0;
  }
  if (s.size() - i < n) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (at(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void hexByte(std::string& out, unsigned char b) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[b >> 4];
  out += kDigits[b & 0xF];
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string quote(std::string_view bytes) {
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  for (size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const size_t n = utf8Length(bytes, i);
    if (n == 0) {
      hexByte(out, b);
      ++i;
    } else if (n == 2 && b == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0) {
      hexByte(out, b);  // C1 control characters
      hexByte(out, static_cast<unsigned char>(bytes[i + 1]));
      i += 2;
    } else if (n > 1) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (b < 0x20 || b == 0x7F)
            hexByte(out, b);
          else
            out += static_cast<char>(b);
      }
      ++i;
    }
  }
  out += '"';
  return out;
}

bool unquote(std::string_view text, size_t& pos, std::string& out, std::string& error, bool allowZero) {
  out.clear();
  ++pos;  // opening quote
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\0' && !allowZero) {
      error = "a text cannot hold a zero byte: it ends the text in the file";
      return false;
    }
    if (c != '\\') {
      out += c;
      ++pos;
      continue;
    }
    if (pos + 1 >= text.size()) break;
    const char e = text[pos + 1];
    switch (e) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        const int hi = pos + 2 < text.size() ? hexDigit(text[pos + 2]) : -1;
        const int lo = pos + 3 < text.size() ? hexDigit(text[pos + 3]) : -1;
        if (hi < 0 || lo < 0) {
          error = "\\x needs two hexadecimal digits";
          return false;
        }
        if (hi == 0 && lo == 0 && !allowZero) {
          error = "a text cannot hold a zero byte: it ends the text in the file";
          return false;
        }
        out += static_cast<char>(hi << 4 | lo);
        pos += 4;
        continue;
      }
      default:
        error = std::string("unknown escape \\") + e + " (use \\\" \\\\ \\n \\r \\t or \\xHH)";
        return false;
    }
    pos += 2;
  }
  error = "the text has no closing quote";
  return false;
}

}  // namespace tavrin::eddtext
