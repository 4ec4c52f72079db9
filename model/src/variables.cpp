// Registration, reading and assigning device variables.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/attributes.h"
#include "model/description.h"
#include "model/variables.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;
using methods::TypeCode;

namespace {

// The size an integer constant as the type node's first child gives; 1 when
// there is none (missing, the empty placeholder or anything else).
uint32_t sizeConstant(const EddNode* type) {
  const EddNode* size = type->child;
  return size && size->tag == +Tag::IntegerConstant ? size->value : 1;
}

bool containsTag(const EddNode* root, uint16_t tag) {
  std::vector<const EddNode*> pending{root};
  while (!pending.empty()) {
    const EddNode* n = pending.back();
    pending.pop_back();
    for (; n; n = n->sibling) {
      if (n->tag == tag) return true;
      if (n->child) pending.push_back(n->child);
    }
  }
  return false;
}

// C's atoi, without its undefined overflow: out-of-range numbers saturate.
int32_t parseInteger(std::string_view text) {
  const std::string s(text);
  const long long v = std::strtoll(s.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

double parseNumber(std::string_view text) {
  const std::string s(text);
  return std::strtod(s.c_str(), nullptr);
}

}  // namespace

Variables::Variables(ui::UserInterface& ui, Description& description, SymbolTable& symbols, Attributes& attributes)
    : ui_(ui), description_(description), symbols_(symbols), attributes_(attributes),
      kept_(SymbolTable::kMaxEntries) {}

const EddNode* Variables::typeNode(const EddNode* root) {
  const EddNode* type = content(attribute(root, +Tag::Type));
  if (type && type->tag == +Tag::TypeWrapper) type = type->child;
  return type;
}

// --- registration ------------------------------------------------------------

void Variables::registerAll() {
  forget();
  bool tableFullShown = false;
  bool memoryFullShown = false;
  for (const EddElement& element : elements(description_, 0)) {
    const EddNode* type = typeNode(element.root);
    const int32_t tag = type ? type->tag : 0;
    uint32_t size = 1;
    switch (tag) {
      case +Tag::Integer:
      case +Tag::UnsignedInteger:
      case +Tag::Enumerated:
      case +Tag::BitEnumerated:
      case +Tag::SizedType:
      case +Tag::TextString:
      case +Tag::PackedString:
      case +Tag::String52:
        size = sizeConstant(type);
        break;
      case +Tag::Float:
        size = 4;
        break;
      case +Tag::Double:
      case +Tag::DateTime47:
        size = 8;
        break;
      case +Tag::DateTime43:
        size = type->child ? sizeConstant(type) : 6;
        break;
      case +Tag::Date:
        size = 3;
        break;
      default:  // the index type (38) and anything unknown
        ui_.errorBox(msg::TypeNotProcessed);
        break;
    }
    switch (symbols_.add(tag, element.id, size, element.root)) {
      case SymbolTable::AddResult::Added:
        break;
      case SymbolTable::AddResult::TableFull:
        if (!std::exchange(tableFullShown, true)) ui_.errorBox(msg::SymbolOverflow);
        break;
      case SymbolTable::AddResult::MemoryFull:
        if (!std::exchange(memoryFullShown, true)) ui_.errorBox(msg::RamOverflow);
        break;
    }
  }

  for (SymbolEntry& e : symbols_.entries()) {
    std::optional<Entry> v;
    if (containsTag(e.root, +Tag::InitialValue)) {
      v = initialValue(e, +Tag::InitialValue, attr::Initial, msg::InitialValue);
    } else if (containsTag(e.root, +Tag::DefaultValue)) {
      v = initialValue(e, +Tag::DefaultValue, attr::Default, msg::DefaultValue);
    }
    if (v) assign(e, *v);
    e.state = ValueState::Initial;
  }
}

// The value of an initial (or default) value: the root's own attribute as an
// expression, otherwise the type's attribute. Exactly one value must come of it.
std::optional<Entry> Variables::initialValue(const SymbolEntry& e, uint16_t tag, uint32_t flag,
                                             const char* message) {
  const auto single = [&](const CompiledList& list) -> std::optional<Entry> {
    if (list.entries().size() == 1) return list.entries()[0];
    ui_.errorBox(message);
    return std::nullopt;
  };
  if (const EddNode* own = attribute(e.root, tag)) {
    methods::MethodEngine& engine = attributes_.engine();
    ListWriter out(engine.stack());
    attributes_.evaluateValue(content(own));
    out.finish(tag);
    return single(CompiledList(engine, out.start(), tag));
  }
  return single(typeAttributes(e.root, flag));
}

// --- lookups -----------------------------------------------------------------

SymbolEntry* Variables::entry(int32_t id) {
  SymbolEntry* e = symbols_.find(id);
  if (!e) ui_.errorBox(msg::withText(msg::NotInSymbolTable, description_.nameById(id)));
  return e;
}

std::string_view Variables::stateText(ValueState state) {
  switch (state) {
    case ValueState::Initial:
      return msg::StateInitial;
    case ValueState::Changed:
      return msg::StateChanged;
    case ValueState::Loaded:
      return msg::StateLoaded;
    default:
      return msg::StateUnknown;
  }
}

// --- values ------------------------------------------------------------------

std::optional<Entry> Variables::value(int32_t id) {
  SymbolEntry* e = entry(id);
  return e ? value(*e) : std::nullopt;
}

std::optional<Entry> Variables::value(SymbolEntry& e) {
  const std::span<std::byte> bytes = symbols_.bytes(e);
  switch (e.typeTag) {
    case +Tag::Integer:
      if (const auto v = readSigned(bytes)) return Entry::ofInt(*v);
      ui_.errorBox(msg::IntWidth);
      return std::nullopt;
    case +Tag::UnsignedInteger:
    case +Tag::Enumerated:
    case +Tag::BitEnumerated:
    case +Tag::Index:
      if (const auto v = readUnsigned(bytes)) return Entry::ofUnsigned(*v);
      ui_.errorBox(msg::UnsignedWidth);
      return std::nullopt;
    case +Tag::Float:
      return Entry::ofFloat(readFloat(bytes));
    case +Tag::Double:
      return Entry::ofDouble(readDouble(bytes));
    case +Tag::TextString:
    case +Tag::PackedString:
    case +Tag::DateTime43:
    case +Tag::DateTime47:
      return Entry::address(bytes, 0, +TypeCode::Char);
    default:
      ui_.errorBox(msg::UndefinedDataType);
      return std::nullopt;
  }
}

bool Variables::assign(int32_t id, const Entry& v) {
  SymbolEntry* e = symbols_.find(id);
  if (!e) {
    ui_.errorBox(msg::AssignUnknown);
    return false;
  }
  return assign(*e, v);
}

bool Variables::assign(SymbolEntry& e, const Entry& v) {
  e.state = ValueState::Changed;
  const std::span<std::byte> bytes = symbols_.bytes(e);
  const auto numeric = [&](int32_t type) -> std::optional<Entry> {
    if (v.kind != methods::kind::Value) {
      attributes_.engine().reportTagMismatch(v.kind, methods::kind::Value);
      return std::nullopt;
    }
    Entry converted = v;
    if (!methods::convert(converted, type)) {
      ui_.errorBox(msg::UndefinedDataType);
      return std::nullopt;
    }
    return converted;
  };
  const auto integer = [&](TypeCode type, const char* widthMessage) {
    const auto n = numeric(+type);
    if (!n) return false;
    if (writeInteger(bytes, static_cast<uint32_t>(n->bits))) return true;
    ui_.errorBox(widthMessage);
    return false;
  };
  switch (e.typeTag) {
    case +Tag::Integer:
      return integer(TypeCode::Int, msg::IntWidth);
    case +Tag::UnsignedInteger:
    case +Tag::Enumerated:
    case +Tag::BitEnumerated:
      return integer(TypeCode::UnsignedInt, msg::UnsignedWidth);
    case +Tag::Float: {
      const auto n = numeric(+TypeCode::Float);
      if (n) writeFloat(bytes, n->asFloat());
      return n.has_value();
    }
    case +Tag::Double: {
      const auto n = numeric(+TypeCode::Double);
      if (n) writeDouble(bytes, n->asDouble());
      return n.has_value();
    }
    case +Tag::TextString:
    case +Tag::PackedString: {
      std::string text;
      if (v.kind == methods::kind::Address) {
        for (const std::byte b : v.addressed()) {
          if (b == std::byte{0}) break;
          text.push_back(static_cast<char>(b));
        }
      } else if (v.kind == methods::kind::StringConstant || v.kind == kind::TextIndex) {
        text = description_.text(v.word());
      } else {
        ui_.errorBox(msg::StringAssignment);
        return false;
      }
      return assignString(e, text);
    }
    default:
      ui_.errorBox(msg::NotAssignable);
      return false;
  }
}

// At most the variable's size is stored; the rest is zero-filled. The text
// is a copy, so a variable may be assigned from its own bytes.
bool Variables::assignString(SymbolEntry& e, std::string_view text) {
  const std::span<std::byte> bytes = symbols_.bytes(e);
  const size_t n = std::min(text.size(), bytes.size());
  std::fill(bytes.begin(), bytes.end(), std::byte{0});
  std::copy_n(reinterpret_cast<const std::byte*>(text.data()), n, bytes.begin());
  return true;
}

bool Variables::assignText(int32_t id, std::string_view text) {
  SymbolEntry* e = symbols_.find(id);
  if (!e) {
    ui_.errorBox(msg::AssignUnknown);
    return false;
  }
  switch (e->typeTag) {
    case +Tag::Integer:
      return assign(*e, Entry::ofInt(parseInteger(text)));
    case +Tag::UnsignedInteger:
    case +Tag::BitEnumerated:
    case +Tag::Float:
    case +Tag::Double:
      return assign(*e, Entry::ofDouble(parseNumber(text)));
    case +Tag::Enumerated: {
      // A text that names no enumerator must not turn into some value (and
      // a changed state) behind the person's back.
      if (const auto v = enumValue(id, text)) return assign(*e, *v);
      ui_.errorBox(msg::withTexts(msg::NoEnumerator, {text, description_.nameById(id)}));
      return false;
    }
    case +Tag::TextString:
    case +Tag::PackedString:
      e->state = ValueState::Changed;
      return assignString(*e, text);
    default:
      ui_.errorBox(msg::TextType);
      return false;
  }
}

}  // namespace tavrin::model
