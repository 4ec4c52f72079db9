// Tags that only the description tools write: constructs of the source
// language that no reader of description files interprets (help texts, the
// header that names arrays and typed collections, the "valid" value of a
// validity). Their numbers lie above every tag of loader/include/edd/tags.h,
// so no model or engine code can come to depend on them; readers that walk
// by tag simply never look for them.
//
// Names are what `eddc dump` prints and `eddc asm` accepts, alongside those
// of edd/tags.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "edd/tags.h"

namespace tavrin::eddtext {

// clang-format off
#define TAVRIN_EDD_TOOL_TAGS(X)                 \
  X(1000, Help,          "help")                \
  X(1001, ObjectHeader,  "object-header")       \
  X(1002, Valid,         "valid")
// clang-format on

enum class ToolTag : uint16_t {
#define TAVRIN_EDD_TOOL_TAG_ENUM(number, name, text) name = number,
  TAVRIN_EDD_TOOL_TAGS(TAVRIN_EDD_TOOL_TAG_ENUM)
#undef TAVRIN_EDD_TOOL_TAG_ENUM
};

constexpr uint16_t operator+(ToolTag t) { return static_cast<uint16_t>(t); }

// The readable name of any tag the tools know, shared or their own.
constexpr std::string_view anyTagName(uint16_t tag) {
  switch (tag) {
#define TAVRIN_EDD_TOOL_TAG_NAME(number, name, text) \
  case number:                                       \
    return text;
    TAVRIN_EDD_TOOL_TAGS(TAVRIN_EDD_TOOL_TAG_NAME)
#undef TAVRIN_EDD_TOOL_TAG_NAME
    default:
      return edd::tagName(tag);
  }
}

constexpr std::optional<uint16_t> anyTagNumber(std::string_view text) {
#define TAVRIN_EDD_TOOL_TAG_NUMBER(number, name, tagText) \
  if (text == tagText) return uint16_t{number};
  TAVRIN_EDD_TOOL_TAGS(TAVRIN_EDD_TOOL_TAG_NUMBER)
#undef TAVRIN_EDD_TOOL_TAG_NUMBER
  return edd::tagNumber(text);
}

}  // namespace tavrin::eddtext
