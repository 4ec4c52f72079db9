// Tokens of EDDL source text. Keywords are not reserved: the parser asks
// for them by spelling where the grammar expects one, so an object may be
// called `TYPE` without confusing anything but its readers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "eddl/compiler.h"

namespace tavrin::eddl {

enum class TokenKind { End, Identifier, Integer, Float, String, Punct };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;     // identifier, operator, or the bytes of a string
  uint64_t integer = 0;  // Integer; saturates at UINT64_MAX
  double real = 0;       // Float
  int line = 1;
  int column = 1;

  bool is(std::string_view punct) const { return kind == TokenKind::Punct && text == punct; }
  bool isWord(std::string_view word) const { return kind == TokenKind::Identifier && text == word; }
};

// Always ends with an End token. Faults (a stray character, an unfinished
// comment or string) are reported and lexing goes on after them.
std::vector<Token> lex(std::string_view source, std::vector<Diagnostic>& diagnostics);

}  // namespace tavrin::eddl
