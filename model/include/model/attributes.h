// Reading description attributes: conditional values, values, string values
// and references, the pieces every model walker (variables, commands, menus,
// collections) is built from.
//
// Attributes are direct children of an object's root, found by tag (the
// first child with that tag); an attribute's content is its first child.
// Most contents are conditional values: IF (54: condition, then 62, optional
// else 63), SELECT (55: selector, then cases 56 with a case value and a
// result, or a default 57) and direct (58: the value itself). Conditions and
// selectors are evaluated by the method engine; the chosen branch is again a
// conditional value, down to a direct one.
//
// Every walker reports what it cannot use through the user-interface seam,
// with the texts of the attribute it walks, and goes on with what it has.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lirrand.h"
#include "model/compiled_list.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::model {

class Description;

// Entry kinds of compiled string values.
namespace kind {
inline constexpr int32_t TextIndex = 31;         // value: a text index
inline constexpr int32_t VariableString = 100;   // value: the id of a variable whose display text it is
}  // namespace kind

// The texts one attribute's conditional value reports with.
struct SpecifierTexts {
  const char* missing;    // no node where a value must be
  const char* tag;        // a node that is neither IF, SELECT nor direct
  const char* selection;  // a SELECT entry that is neither a case nor the default
};

// The first direct child of root with this tag, or nullptr.
const EddNode* attribute(const EddNode* root, uint16_t tag);
// The first child of an attribute node, or nullptr.
inline const EddNode* content(const EddNode* attributeNode) { return attributeNode ? attributeNode->child : nullptr; }

// A string value that is direct and holds nothing but text literals (31,
// 99): compiling it evaluates no condition, reads no variable and says
// nothing, so its texts follow from the tree alone and may be read from it
// (or kept) instead of compiled. Gives the number of strings and the first
// one's text index (-1 when there is none); nothing for every other value,
// which only compileString answers.
struct LiteralStrings {
  int count = 0;
  int32_t first = -1;
};
std::optional<LiteralStrings> literalStrings(const EddNode* stringValue);

class Attributes {
 public:
  // How deep references, and display texts that show other variables, may
  // nest: far beyond any real description, and what stops a description
  // whose references or texts refer to themselves.
  static constexpr int kMaxNesting = 32;

  Attributes(ui::UserInterface& ui, methods::MethodEngine& engine, const Description& description);

  ui::UserInterface& ui() { return ui_; }
  methods::MethodEngine& engine() { return engine_; }
  const Description& description() const { return description_; }

  // Follows IF and SELECT forms down to the direct value and returns that
  // node (its children are the value), or nullptr when there is none (said
  // with the given texts, or by the engine for a condition it could not
  // evaluate). The value stack is left as it was.
  const EddNode* chooseDirect(const EddNode* node, const SpecifierTexts& texts);

  // Leaves one value on the stack: an expression (405), a conditional value
  // whose direct content is an expression, or an integer or float constant.
  // False, with nothing left, when there is none.
  bool evaluateValue(const EddNode* node);

  // Compiles a string value (a conditional value whose direct content holds
  // strings, 410) onto the writer: one entry of kind 31 (text index) or 100
  // (variable id) per string.
  void compileString(const EddNode* node, ListWriter& out);

  // Resolves a reference: an identifier (30) to the object with that id, an
  // array element (240) or a collection member (241) to the object its
  // element or member names; a reference node (408) stands for its child.
  // Nothing when it resolves to no object (said).
  std::optional<int32_t> resolveObject(const EddNode* reference);

  struct Element {
    int32_t index = 0;
    const EddNode* reference = nullptr;
  };
  struct Member {
    int32_t name = -1;  // text index of the member name
    const EddNode* reference = nullptr;
  };
  // The element items of an ARRAY root (attribute 213) and the member items
  // of a COLLECTION root (attribute 120), in order; malformed items are
  // reported and left out.
  std::vector<Element> elements(const EddNode* arrayRoot);
  std::vector<Member> members(const EddNode* collectionRoot);
  // The same, saying a malformed item with itemMessage, and clearing
  // complete when anything was left out.
  std::vector<Element> elements(const EddNode* arrayRoot, const char* itemMessage, bool& complete);
  std::vector<Member> members(const EddNode* collectionRoot, const char* itemMessage, bool& complete);

  // Counts one level of nesting for as long as it lives; false (said once
  // per level) beyond kMaxNesting.
  class Nesting {
   public:
    explicit Nesting(Attributes& a);
    ~Nesting() { --a_.nesting_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    explicit operator bool() const { return ok_; }

   private:
    Attributes& a_;
    bool ok_;
  };

 private:
  bool sameName(int32_t a, int32_t b) const;

  ui::UserInterface& ui_;
  methods::MethodEngine& engine_;
  const Description& description_;
  int nesting_ = 0;
};

}  // namespace tavrin::model
