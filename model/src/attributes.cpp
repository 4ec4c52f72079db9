#include "model/attributes.h"

#include <bit>

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/description.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;
using methods::TypeCode;

const EddNode* attribute(const EddNode* root, uint16_t tag) {
  for (const EddNode* c = root ? root->child : nullptr; c; c = c->sibling) {
    if (c->tag == tag) return c;
  }
  return nullptr;
}

std::optional<LiteralStrings> literalStrings(const EddNode* stringValue) {
  if (!stringValue || stringValue->tag != +Tag::Direct) return std::nullopt;
  LiteralStrings found;
  for (const EddNode* s = stringValue->child; s; s = s->sibling) {
    const EddNode* terminal = s->child;
    if (s->tag != +Tag::String || !terminal) return std::nullopt;
    if (terminal->tag != +Tag::StringLiteral && terminal->tag != +Tag::StringConstant) return std::nullopt;
    // The index as compileString pushes it, so an out-of-range one reads as the same empty text.
    if (found.count++ == 0) found.first = static_cast<int32_t>(terminal->value);
  }
  return found;
}

Attributes::Attributes(ui::UserInterface& ui, methods::MethodEngine& engine, const Description& description)
    : ui_(ui), engine_(engine), description_(description) {}

Attributes::Nesting::Nesting(Attributes& a) : a_(a), ok_(++a.nesting_ <= kMaxNesting) {
  // Said once, at the level that went too deep; the levels above unwind quietly.
  if (a.nesting_ == kMaxNesting + 1) a.ui_.errorBox(msg::NestedTooDeeply);
}

namespace {

// Arrays and collections that name themselves one level down may keep
// their attributes there too.
const EddNode* ownAttribute(const EddNode* root, uint16_t tag) {
  const EddNode* a = attribute(root, tag);
  return a || !root ? a : attribute(root->child, tag);
}

int32_t popInt(methods::ValueStack& stack) {
  Entry v = stack.pop();
  methods::convert(v, +TypeCode::Int);
  return static_cast<int32_t>(v.asInt64());
}

}  // namespace

// Iterative, so however deeply IF and SELECT forms nest, the walk costs no
// stack of its own.
const EddNode* Attributes::chooseDirect(const EddNode* node, const SpecifierTexts& texts) {
  methods::ValueStack& stack = engine_.stack();
  for (;;) {
    if (!node) {
      ui_.errorBox(texts.missing);
      return nullptr;
    }
    switch (node->tag) {
      case +Tag::Direct:
        return node;
      case +Tag::If: {
        const EddNode* condition = node->child;
        const EddNode* then = condition ? condition->sibling : nullptr;
        const EddNode* otherwise = then ? then->sibling : nullptr;
        if (!engine_.evaluateExpression(condition)) return nullptr;
        // Only 1 counts as true, as in the engine's own IF forms.
        const EddNode* branch = popInt(stack) == 1 ? then : otherwise;
        const uint16_t expected = branch == then ? +Tag::Then : +Tag::Else;
        if (branch && branch->tag != expected) engine_.reportTagMismatch(branch->tag, expected);
        node = branch ? branch->child : nullptr;
        break;
      }
      case +Tag::Select: {
        const EddNode* selector = node->child;
        if (!engine_.evaluateExpression(selector)) return nullptr;
        const int32_t value = popInt(stack);
        const EddNode* chosen = nullptr;
        bool taken = false;
        for (const EddNode* s = selector->sibling; s && !taken; s = s->sibling) {
          if (s->tag == +Tag::Case) {
            if (!engine_.evaluateExpression(s->child)) return nullptr;
            if (popInt(stack) == value) {
              chosen = s->child->sibling;
              taken = true;
            }
          } else if (s->tag == +Tag::Default) {
            chosen = s->child;
            taken = true;
          } else {
            ui_.errorBox(texts.selection);
          }
        }
        if (!taken) {
          ui_.errorBox(texts.missing);
          return nullptr;
        }
        node = chosen;
        break;
      }
      default:
        ui_.errorBox(texts.tag);
        return nullptr;
    }
  }
}

bool Attributes::evaluateValue(const EddNode* node) {
  switch (node ? node->tag : 0) {
    case +Tag::IntegerConstant:
      return engine_.stack().push(Entry::ofInt(static_cast<int32_t>(node->value)));
    case +Tag::FloatConstant:
      return engine_.stack().push(Entry::ofFloat(std::bit_cast<float>(node->value)));
    case +Tag::If:
    case +Tag::Select:
    case +Tag::Direct:
    case 0:  // the engine reports the missing node
      return engine_.evaluateSpecifier(node);
    default:
      return engine_.evaluateExpression(node);
  }
}

void Attributes::compileString(const EddNode* node, ListWriter& out) {
  static constexpr SpecifierTexts kTexts{msg::StringNull, msg::StringTag, msg::StringSelection};
  const EddNode* direct = chooseDirect(node, kTexts);
  if (!direct) return;
  for (const EddNode* s = direct->child; s && !out.failed(); s = s->sibling) {
    if (s->tag == +Tag::StringConcat) {
      ui_.errorBox(msg::StringAdd);
      continue;
    }
    if (s->tag != +Tag::String) {
      ui_.errorBox(msg::StringList);
      continue;
    }
    const EddNode* terminal = s->child;
    switch (terminal ? terminal->tag : 0) {
      case +Tag::StringLiteral:
      case +Tag::StringConstant:
        out.push(Entry::tagged(kind::TextIndex, +TypeCode::UnsignedInt, static_cast<int32_t>(terminal->value)));
        break;
      case +Tag::StringFromVariable:
        if (const auto id = resolveObject(terminal->child)) {
          out.push(Entry::tagged(kind::VariableString, +TypeCode::UnsignedInt, *id));
        }
        break;
      case +Tag::StringUnsupported:
        ui_.errorBox(msg::StringTerminal);
        break;
      default:
        ui_.errorBox(msg::StringTerminalMatch);
        break;
    }
  }
}

bool Attributes::sameName(int32_t a, int32_t b) const {
  if (a == b) return true;
  const std::string_view name = description_.text(a);
  return !name.empty() && name == description_.text(b);
}

std::optional<int32_t> Attributes::resolveObject(const EddNode* reference) {
  Nesting nesting(*this);
  if (!nesting) return std::nullopt;
  switch (reference ? reference->tag : 0) {
    case +Tag::Reference:
      return resolveObject(reference->child);
    case +Tag::Identifier: {
      const auto id = static_cast<int32_t>(reference->value);
      if (!description_.objectById(id)) return std::nullopt;
      return id;
    }
    case +Tag::ArrayElementRef: {
      const EddNode* arrayReference = reference->child;
      const auto arrayId = resolveObject(arrayReference);
      if (!arrayId) return std::nullopt;
      const EddNode* root = description_.findObject(*arrayId);
      if (root->tag != +Tag::Array && root->tag != +Tag::ArrayOf) {
        engine_.reportTagMismatch(root->tag, +Tag::Array);
        return std::nullopt;
      }
      if (!evaluateValue(arrayReference->sibling)) return std::nullopt;
      const int32_t index = popInt(engine_.stack());
      for (const Element& e : elements(root)) {
        if (e.index == index) return resolveObject(e.reference);
      }
      ui_.errorBox(msg::ArrayElement);
      ui_.errorBox(msg::withNumber(msg::ArrayElementNumber, index));
      return std::nullopt;
    }
    case +Tag::CollectionMemberRef: {
      const EddNode* collectionReference = reference->child;
      const auto collectionId = resolveObject(collectionReference);
      if (!collectionId) return std::nullopt;
      const EddNode* root = description_.findObject(*collectionId);
      if (root->tag != +Tag::Collection && root->tag != +Tag::CollectionOf) {
        engine_.reportTagMismatch(root->tag, +Tag::Collection);
        return std::nullopt;
      }
      const EddNode* name = collectionReference->sibling;
      if (!name || name->tag != +Tag::Identifier) {
        engine_.reportTagMismatch(name ? name->tag : 0, +Tag::Identifier);
        return std::nullopt;
      }
      const auto wanted = static_cast<int32_t>(name->value);
      for (const Member& m : members(root)) {
        if (sameName(m.name, wanted)) return resolveObject(m.reference);
      }
      ui_.errorBox(msg::CollectionMember);
      ui_.errorBox(msg::withNumber(msg::ArrayElementNumber, wanted));
      return std::nullopt;
    }
    case +Tag::Reference242:
    case +Tag::Reference243:
      ui_.errorBox(msg::ReferenceNotProcessed);
      return std::nullopt;
    default:
      ui_.errorBox(msg::ReferenceTag);
      return std::nullopt;
  }
}

std::vector<Attributes::Element> Attributes::elements(const EddNode* arrayRoot) {
  bool complete = true;
  return elements(arrayRoot, msg::ElementItem, complete);
}

std::vector<Attributes::Member> Attributes::members(const EddNode* collectionRoot) {
  bool complete = true;
  return members(collectionRoot, msg::MemberItem, complete);
}

std::vector<Attributes::Element> Attributes::elements(const EddNode* arrayRoot, const char* itemMessage,
                                                      bool& complete) {
  static constexpr SpecifierTexts kTexts{msg::ElementsNull, msg::ElementsTag, msg::ElementsSelection};
  std::vector<Element> items;
  const EddNode* direct = chooseDirect(content(ownAttribute(arrayRoot, +Tag::Elements)), kTexts);
  if (!direct) complete = false;
  for (const EddNode* item = direct ? direct->child : nullptr; item; item = item->sibling) {
    if (item->tag != +Tag::Element401 && item->tag != +Tag::Element406 && item->tag != +Tag::Element407) {
      ui_.errorBox(itemMessage);
      complete = false;
      continue;
    }
    const EddNode* index = item->child;
    if (!index || index->tag != +Tag::IntegerConstant) {
      engine_.reportTagMismatch(index ? index->tag : 0, +Tag::IntegerConstant);
      complete = false;
      continue;
    }
    items.push_back({static_cast<int32_t>(index->value), index->sibling});
  }
  return items;
}

std::vector<Attributes::Member> Attributes::members(const EddNode* collectionRoot, const char* itemMessage,
                                                    bool& complete) {
  static constexpr SpecifierTexts kTexts{msg::MembersNull, msg::MembersTag, msg::MembersSelection};
  std::vector<Member> items;
  const EddNode* direct = chooseDirect(content(ownAttribute(collectionRoot, +Tag::Members)), kTexts);
  if (!direct) complete = false;
  for (const EddNode* item = direct ? direct->child : nullptr; item; item = item->sibling) {
    if (item->tag != +Tag::Member122 && item->tag != +Tag::Member123 && item->tag != +Tag::Member124) {
      ui_.errorBox(itemMessage);
      complete = false;
      continue;
    }
    const EddNode* name = item->child;
    if (!name || name->tag != +Tag::Identifier) {
      engine_.reportTagMismatch(name ? name->tag : 0, +Tag::Identifier);
      complete = false;
      continue;
    }
    items.push_back({static_cast<int32_t>(name->value), name->sibling});
  }
  return items;
}

}  // namespace tavrin::model
