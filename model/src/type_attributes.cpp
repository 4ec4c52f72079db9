// Type attributes compiled by flag mask, and the queries built on them and
// on the variable's own attributes: ranges, handling, validity, class.
#include <bit>

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/attributes.h"
#include "model/variables.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;

namespace {

// The list kind of the first flag set, in table order; 0 for none.
int32_t listKindOf(uint32_t flags) {
  if (flags & attr::Default) return +Tag::DefaultValue;
  if (flags & attr::Initial) return +Tag::InitialValue;
  if (flags & attr::DisplayFormat) return +Tag::DisplayFormat;
  if (flags & attr::EditFormat) return +Tag::EditFormat;
  if (flags & attr::Ranges) return +Tag::MinValue;
  if (flags & attr::Attribute307) return +Tag::TypeAttribute307;
  if (flags & attr::Enumerators) return +Tag::Enumerators;
  return 0;
}

enum class TypeGroup { Compiled, NotAType, Unknown };

TypeGroup groupOf(int32_t tag) {
  switch (tag) {
    case +Tag::Integer:
    case +Tag::UnsignedInteger:
    case +Tag::Enumerated:
    case +Tag::BitEnumerated:
    case +Tag::Float:
    case +Tag::Double:
    case +Tag::TextString:
    case +Tag::PackedString:
    case +Tag::String41:
    case +Tag::String50:
    case +Tag::String51:
    case +Tag::String52:
    case +Tag::String53:
    case +Tag::DateTime16:
    case +Tag::DateTime42:
    case +Tag::DateTime43:
    case +Tag::DateTime46:
    case +Tag::DateTime47:
      return TypeGroup::Compiled;
    case +Tag::TypeWrapper:
    case +Tag::Type60:
    case +Tag::SizedType:
      return TypeGroup::NotAType;
    default:
      return TypeGroup::Unknown;
  }
}

bool isStringType(int32_t tag) {
  return (tag >= +Tag::TextString && tag <= +Tag::String41) || (tag >= +Tag::String50 && tag <= +Tag::String53);
}

}  // namespace

CompiledList Variables::typeAttributes(const EddNode* root, uint32_t flags) {
  methods::MethodEngine& engine = attributes_.engine();
  ListWriter out(engine.stack());
  const int32_t listKind = listKindOf(flags);
  if (listKind == 0) {
    ui_.errorBox(msg::CompileFlags);
    return CompiledList(engine, out.start(), 0);
  }
  const EddNode* type = typeNode(root);
  switch (groupOf(type ? type->tag : 0)) {
    case TypeGroup::Compiled:
      compileTypeChildren(type, flags, out);
      break;
    case TypeGroup::NotAType:
      ui_.errorBox(msg::NoSuchTypeTag);
      break;
    case TypeGroup::Unknown:
      ui_.errorBox(msg::TypeTagMismatch);
      break;
  }
  out.finish(listKind);
  return CompiledList(engine, out.start(), listKind);
}

// Every child of the type node is looked at: the size, where the type has
// one, is an integer constant and never an attribute.
void Variables::compileTypeChildren(const EddNode* type, uint32_t flags, ListWriter& out) {
  const bool strings = isStringType(type->tag);
  bool enumerators = false;
  const auto value = [&](const EddNode* node) {
    if (strings) {
      attributes_.compileString(node, out);
    } else {
      attributes_.evaluateValue(node);
    }
  };
  const auto range = [&](const EddNode* c, bool indexed) {
    out.beginItem(c->tag);
    const EddNode* v = c->child;
    if (indexed) {
      if (v && v->tag == +Tag::IntegerConstant) {
        out.push(Entry::ofInt(static_cast<int32_t>(v->value)));
      } else {
        attributes_.engine().reportTagMismatch(v ? v->tag : 0, +Tag::IntegerConstant);
      }
      v = v ? v->sibling : nullptr;
    }
    attributes_.evaluateValue(v);
    out.endItem();
  };
  for (const EddNode* c = type->child; c && !out.failed(); c = c->sibling) {
    switch (c->tag) {
      case +Tag::DefaultValue:
        if (flags & attr::Default) value(c->child);
        break;
      case +Tag::InitialValue:
        if (flags & attr::Initial) value(c->child);
        break;
      case +Tag::DisplayFormat:
        if (flags & attr::DisplayFormat) attributes_.compileString(c->child, out);
        break;
      case +Tag::EditFormat:
        if (flags & attr::EditFormat) attributes_.compileString(c->child, out);
        break;
      case +Tag::MinValue:
        if (flags & attr::MinValue) range(c, false);
        break;
      case +Tag::MaxValue:
        if (flags & attr::MaxValue) range(c, false);
        break;
      case +Tag::IndexedMinValue:
        if (flags & attr::IndexedMinValue) range(c, true);
        break;
      case +Tag::IndexedMaxValue:
        if (flags & attr::IndexedMaxValue) range(c, true);
        break;
      case +Tag::TypeAttribute307:
        if (flags & attr::Attribute307) attributes_.evaluateValue(c->child);
        break;
      case +Tag::Enumerators:
        if ((flags & attr::Enumerators) && !enumerators) {
          enumerators = true;
          compileEnumerators(type, c, out);
        }
        break;
      default:
        break;
    }
  }
  const bool enumerated = type->tag == +Tag::Enumerated || type->tag == +Tag::BitEnumerated;
  if ((flags & attr::Enumerators) && enumerated && !enumerators) {
    ui_.errorBox(type->tag == +Tag::Enumerated ? msg::EnumeratorsNull : msg::BitEnumeratorsNull);
  }
}

// Items: an opening entry of the item's tag, the value (an unsigned integer,
// a float, or a string), then the description's strings.
void Variables::compileEnumerators(const EddNode* type, const EddNode* list, ListWriter& out) {
  static constexpr SpecifierTexts kEnumerators{msg::EnumeratorsNull, msg::EnumeratorsTag,
                                               msg::EnumeratorsSelection};
  static constexpr SpecifierTexts kBits{msg::BitEnumeratorsNull, msg::EnumeratorsTag, msg::BitEnumeratorsSelection};
  const bool bits = type->tag == +Tag::BitEnumerated;
  const EddNode* direct = attributes_.chooseDirect(list->child, bits ? kBits : kEnumerators);
  for (const EddNode* item = direct ? direct->child : nullptr; item && !out.failed(); item = item->sibling) {
    const bool known = bits ? item->tag >= +Tag::BitEnumerator74 && item->tag <= +Tag::BitEnumerator88
                            : item->tag == +Tag::Enumerator || item->tag == +Tag::Enumerator67;
    if (!known) ui_.errorBox(bits ? msg::BitEnumeratorItem : msg::EnumeratorItem);
    out.beginItem(item->tag);
    const EddNode* v = item->child;
    if (v && v->tag == +Tag::IntegerConstant) {
      out.push(Entry::ofUnsigned(v->value));
    } else if (v && v->tag == +Tag::FloatConstant) {
      out.push(Entry::ofFloat(std::bit_cast<float>(v->value)));
    } else {
      attributes_.compileString(v, out);
    }
    if (v) attributes_.compileString(v->sibling, out);
    out.endItem();
  }
}

// Mirrors compileEnumerators: the first list, direct, with items of the
// type's own tags, each a constant value and a literal description. Nothing
// else of such a list is compiled, so it evaluates and says nothing.
bool Variables::fixedEnumerators(const EddNode* type) {
  if (!type || (type->tag != +Tag::Enumerated && type->tag != +Tag::BitEnumerated)) return false;
  const bool bits = type->tag == +Tag::BitEnumerated;
  const EddNode* list = type->child;
  while (list && list->tag != +Tag::Enumerators) list = list->sibling;
  const EddNode* direct = list ? list->child : nullptr;
  if (!direct || direct->tag != +Tag::Direct) return false;
  for (const EddNode* item = direct->child; item; item = item->sibling) {
    const bool known = bits ? item->tag >= +Tag::BitEnumerator74 && item->tag <= +Tag::BitEnumerator88
                            : item->tag == +Tag::Enumerator || item->tag == +Tag::Enumerator67;
    const EddNode* v = item->child;
    if (!known || !v || (v->tag != +Tag::IntegerConstant && v->tag != +Tag::FloatConstant)) return false;
    if (!literalStrings(v->sibling)) return false;
  }
  return true;
}

bool RangeList::empty() const {
  for (int i = 0; i < kSlots; ++i) {
    if (minimum[static_cast<size_t>(i)] || maximum[static_cast<size_t>(i)]) return false;
  }
  return true;
}

std::optional<RangeList> Variables::ranges(int32_t id) {
  const SymbolEntry* e = entry(id);
  if (!e) return std::nullopt;
  const CompiledList list = typeAttributes(e->root, attr::Ranges);
  RangeList r;
  const auto number = [](const Entry& v) { return v.kind == methods::kind::Value ? v.numeric() : 0.0; };
  for (const CompiledList::Item& item : list.items()) {
    const bool minimum = item.kind == +Tag::MinValue || item.kind == +Tag::IndexedMinValue;
    const bool indexed = item.kind == +Tag::IndexedMinValue || item.kind == +Tag::IndexedMaxValue;
    if (item.entries.size() < (indexed ? 2u : 1u)) continue;  // a value that did not evaluate
    int64_t slot = 0;
    if (indexed) {
      slot = item.entries[0].asInt64();
      // Negative slots are as far outside the table as those above 31.
      if (slot < 0 || slot >= RangeList::kSlots) {
        ui_.errorBox(msg::RangeIndex);
        return std::nullopt;
      }
    }
    auto& slots = minimum ? r.minimum : r.maximum;
    slots[static_cast<size_t>(slot)] = number(item.entries[indexed ? 1 : 0]);
  }
  return r;
}

uint32_t Variables::handling(const EddNode* root) {
  static constexpr SpecifierTexts kTexts{msg::HandlingNull, msg::HandlingTag, msg::HandlingSelection};
  const EddNode* handlingAttribute = attribute(root, +Tag::Handling);
  if (!handlingAttribute) return 0;
  const EddNode* direct = attributes_.chooseDirect(content(handlingAttribute), kTexts);
  if (!direct) return 0;
  const EddNode* flags = direct->child;
  if (!flags || flags->tag != +Tag::HandlingFlags) {
    attributes_.engine().reportTagMismatch(flags ? flags->tag : 0, +Tag::HandlingFlags);
    return 0;
  }
  return flags->value;
}

bool Variables::valid(const EddNode* root) {
  static constexpr SpecifierTexts kTexts{msg::ValidityNull, msg::ValidityTag, msg::ValiditySelection};
  const EddNode* validity = attribute(root, +Tag::Validity);
  if (!validity) return true;
  const EddNode* direct = attributes_.chooseDirect(content(validity), kTexts);
  return !(direct && direct->child && direct->child->tag == +Tag::Invalid);
}

uint32_t Variables::classFlags(const EddNode* root) const {
  const EddNode* flags = attribute(root, +Tag::ClassFlags);
  return flags ? flags->value : 0;
}

}  // namespace tavrin::model
