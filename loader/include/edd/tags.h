// Tag numbers of description trees: the symbol numbers of the compiled EDDL
// grammar, the vocabulary in which the model, the method engine and the
// description tools walk and build trees.
//
// Every tag is declared once in TAVRIN_EDD_TAGS as (number, Name, "name");
// the enum, the name lookup and the value-bearing check derive from it.
// Keep the list sorted by number; a module that interprets a new tag adds it
// here. Tags that only the description tools use (numbers outside every range
// the model reads) belong to the tools, not here.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrin::edd {

// clang-format off
#define TAVRIN_EDD_TAGS(X)                         \
  X(1,   Block,            "block")                \
  X(3,   Collection,       "collection")           \
  X(4,   Command,          "command")              \
  X(13,  Array,            "array")                \
  X(14,  Menu,             "menu")                 \
  X(15,  Method,           "method")               \
  X(21,  UnitRelation,     "unit-relation")        \
  X(22,  Variable,         "variable")             \
  X(30,  Identifier,       "identifier")           \
  X(31,  StringLiteral,    "string-literal")       \
  X(89,  Value89,          "value-89")             \
  X(90,  Value90,          "value-90")             \
  X(99,  StringConstant,   "string-constant")      \
  X(302, ClassFlags,       "class")                \
  X(341, HandlingFlags,    "handling-value")       \
  X(398, FloatConstant,    "float-constant")       \
  X(399, IntegerConstant,  "integer-constant")     \
  X(403, ArrayOf,          "array-of")             \
  X(404, CollectionOf,     "collection-of")
// clang-format on

enum class Tag : uint16_t {
#define TAVRIN_EDD_TAG_ENUM(number, name, text) name = number,
  TAVRIN_EDD_TAGS(TAVRIN_EDD_TAG_ENUM)
#undef TAVRIN_EDD_TAG_ENUM
};

constexpr uint16_t operator+(Tag t) { return static_cast<uint16_t>(t); }

// The readable name of a tag, or an empty view for a number not in the list.
constexpr std::string_view tagName(uint16_t tag) {
  switch (tag) {
#define TAVRIN_EDD_TAG_NAME(number, name, text) \
  case number:                                  \
    return text;
    TAVRIN_EDD_TAGS(TAVRIN_EDD_TAG_NAME)
#undef TAVRIN_EDD_TAG_NAME
    default:
      return {};
  }
}

// Tags whose node carries a 32-bit value in a description file.
constexpr bool carriesValue(uint16_t tag) {
  switch (tag) {
    case 30: case 31: case 89: case 90: case 99: case 302: case 341: case 398: case 399:
      return true;
    default:
      return false;
  }
}

}  // namespace tavrin::edd
