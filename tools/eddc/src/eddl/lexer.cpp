#include "eddl/lexer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tavrin::eddl {
namespace {

// Longest first, so that "<<=" is not read as "<<" and "=".
constexpr std::string_view kOperators[] = {
    "<<=", ">>=", "==", "!=", "<=", ">=", "<<", ">>", "&&", "||", "++", "--", "+=", "-=", "*=", "/=", "%=", "&=", "|=",
    "^=",  "{",   "}",  "(",  ")",  "[",  "]",  ";",  ",",  ":",  ".",  "?",  "+",  "-",  "*",  "/",  "%",  "&",  "|",
    "^",   "~",   "!",  "<",  ">",  "=",
};

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class Lexer {
 public:
  Lexer(std::string_view source, std::vector<Diagnostic>& diagnostics) : s_(source), diagnostics_(diagnostics) {}

  std::vector<Token> run() {
    std::vector<Token> tokens;
    for (;;) {
      skipSpace();
      Token t;
      t.line = line_;
      t.column = column();
      if (p_ >= s_.size()) {
        tokens.push_back(t);
        return tokens;
      }
      const char c = s_[p_];
      if (isIdentStart(c)) {
        const size_t start = p_;
        while (p_ < s_.size() && isIdentChar(s_[p_])) ++p_;
        t.kind = TokenKind::Identifier;
        t.text = std::string(s_.substr(start, p_ - start));
      } else if (isDigit(c) || (c == '.' && p_ + 1 < s_.size() && isDigit(s_[p_ + 1]))) {
        number(t);
      } else if (c == '"') {
        t.kind = TokenKind::String;
        quoted('"', t);
      } else if (c == '\'') {
        t.kind = TokenKind::Integer;
        quoted('\'', t);
        if (t.text.size() != 1) report(t, "a character constant holds exactly one character");
        t.integer = t.text.empty() ? 0 : static_cast<unsigned char>(t.text[0]);
        t.text.clear();
      } else if (!punct(t)) {
        report(t, describeByte(c));
        ++p_;
        continue;
      }
      tokens.push_back(std::move(t));
    }
  }

 private:
  int column() const { return static_cast<int>(p_ - lineStart_) + 1; }

  void report(const Token& at, std::string message) {
    diagnostics_.push_back({at.line, at.column, std::move(message)});
  }

  static std::string describeByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x21 && u < 0x7F) return std::string("unexpected character '") + c + "'";
    char buf[48];
    std::snprintf(buf, sizeof buf, "unexpected byte 0x%02X outside a text", u);
    return buf;
  }

  void newline() {
    ++line_;
    lineStart_ = p_ + 1;
  }

  void skipSpace() {
    while (p_ < s_.size()) {
      const char c = s_[p_];
      if (c == '\n') {
        newline();
        ++p_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++p_;
      } else if (s_.substr(p_, 2) == "//") {
        while (p_ < s_.size() && s_[p_] != '\n') ++p_;
      } else if (s_.substr(p_, 2) == "/*") {
        Token at;
        at.line = line_;
        at.column = column();
        p_ += 2;
        for (;;) {
          if (p_ >= s_.size()) {
            report(at, "the comment never ends");
            return;
          }
          if (s_.substr(p_, 2) == "*/") {
            p_ += 2;
            break;
          }
          if (s_[p_] == '\n') newline();
          ++p_;
        }
      } else if (p_ == 0 && s_.substr(0, 3) == "\xEF\xBB\xBF") {
        p_ = 3;  // a byte-order mark some editors write
        lineStart_ = 3;
      } else {
        return;
      }
    }
  }

  void number(Token& t) {
    const size_t start = p_;
    bool real = false;
    if (s_.substr(p_, 2) == "0x" || s_.substr(p_, 2) == "0X") {
      p_ += 2;
      const size_t digits = p_;
      while (p_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
      t.kind = TokenKind::Integer;
      t.integer = parse(s_.substr(digits, p_ - digits), 16, t);
    } else {
      while (p_ < s_.size() && isDigit(s_[p_])) ++p_;
      if (p_ < s_.size() && s_[p_] == '.') {
        real = true;
        ++p_;
        while (p_ < s_.size() && isDigit(s_[p_])) ++p_;
      }
      if (p_ < s_.size() && (s_[p_] == 'e' || s_[p_] == 'E')) {
        size_t q = p_ + 1;
        if (q < s_.size() && (s_[q] == '+' || s_[q] == '-')) ++q;
        if (q < s_.size() && isDigit(s_[q])) {
          real = true;
          p_ = q;
          while (p_ < s_.size() && isDigit(s_[p_])) ++p_;
        }
      }
      const std::string_view text = s_.substr(start, p_ - start);
      if (real) {
        t.kind = TokenKind::Float;
        t.real = std::strtod(std::string(text).c_str(), nullptr);
      } else {
        t.kind = TokenKind::Integer;
        const bool octal = text.size() > 1 && text[0] == '0';
        t.integer = parse(octal ? text.substr(1) : text, octal ? 8 : 10, t);
      }
    }
    // C suffixes mean nothing here; the value decides the constant's kind.
    while (p_ < s_.size() && (s_[p_] == 'u' || s_[p_] == 'U' || s_[p_] == 'l' || s_[p_] == 'L' ||
                              (real && (s_[p_] == 'f' || s_[p_] == 'F')))) {
      ++p_;
    }
    if (p_ < s_.size() && isIdentChar(s_[p_])) {
      report(t, "a number runs into a name");
      while (p_ < s_.size() && isIdentChar(s_[p_])) ++p_;
    }
  }

  uint64_t parse(std::string_view digits, int base, const Token& t) {
    uint64_t value = 0;
    if (digits.empty()) {
      report(t, "a number without digits");
      return 0;
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec == std::errc::result_out_of_range) return UINT64_MAX;
    if (ec != std::errc() || end != digits.data() + digits.size()) report(t, "a malformed number");
    return value;
  }

  void quoted(char quote, Token& t) {
    ++p_;
    for (;;) {
      if (p_ >= s_.size() || s_[p_] == '\n') {
        report(t, quote == '"' ? "the text never ends (a text stays on one line)" : "the character constant never ends");
        return;
      }
      const char c = s_[p_++];
      if (c == quote) return;
      if (c == '\0') {
        // A zero byte ends a text in a description file: everything after
        // it would shift to other text indexes.
        report(t, "a text cannot hold a zero byte");
        continue;
      }
      if (c != '\\') {
        t.text += c;
        continue;
      }
      if (p_ >= s_.size()) continue;
      const char e = s_[p_++];
      switch (e) {
        case 'n': t.text += '\n'; break;
        case 't': t.text += '\t'; break;
        case 'r': t.text += '\r'; break;
        case '\\': t.text += '\\'; break;
        case '"': t.text += '"'; break;
        case '\'': t.text += '\''; break;
        case 'x': {
          const size_t start = p_;
          while (p_ < s_.size() && p_ - start < 2 && std::isxdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
          unsigned value = 0;
          std::from_chars(s_.data() + start, s_.data() + p_, value, 16);
          if (p_ == start) {
            report(t, "\\x needs hexadecimal digits");
          } else if (value == 0) {
            report(t, "a text cannot hold a zero byte");
          } else {
            t.text += static_cast<char>(value);
          }
          break;
        }
        default:
          report(t, std::string("unknown escape \\") + e);
      }
    }
  }

  bool punct(Token& t) {
    for (std::string_view op : kOperators) {
      if (s_.substr(p_, op.size()) == op) {
        t.kind = TokenKind::Punct;
        t.text = std::string(op);
        p_ += op.size();
        return true;
      }
    }
    return false;
  }

  std::string_view s_;
  std::vector<Diagnostic>& diagnostics_;
  size_t p_ = 0;
  size_t lineStart_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<Token> lex(std::string_view source, std::vector<Diagnostic>& diagnostics) {
  return Lexer(source, diagnostics).run();
}

}  // namespace tavrin::eddl
