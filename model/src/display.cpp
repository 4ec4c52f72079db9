// Display texts: values, units and states; enumerations; labels and string
// values; UNIT relations.
#include <cstdio>
#include <functional>
#include <string>

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/attributes.h"
#include "model/description.h"
#include "model/units.h"
#include "model/variables.h"
#include "platform/text.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;

namespace {

std::string capped(std::string_view s) { return std::string(s.substr(0, kMaxValueText)); }

// A display format is pasted after a percent sign into a printf format, so
// only one conversion that fits the value's type is let through: flags,
// a width and a precision of at most two digits each, and d i u x X o for
// integers or f e E g G for floats. Anything else could read arguments that
// are not there or write past the value text.
bool usableFormat(std::string_view f, bool integer) {
  size_t i = 0;
  while (i < f.size() && i < 5 && std::string_view("-+ #0").find(f[i]) != std::string_view::npos) ++i;
  const auto digits = [&] {
    size_t n = 0;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i, ++n;
    return n;
  };
  if (digits() > 2) return false;
  if (i < f.size() && f[i] == '.') {
    ++i;
    if (digits() > 2) return false;
  }
  if (i + 1 != f.size()) return false;
  return std::string_view(integer ? "diuxXo" : "feEgG").find(f[i]) != std::string_view::npos;
}

}  // namespace

// --- display texts ---------------------------------------------------------------

std::optional<DisplayText> Variables::format(int32_t id, bool fresh) {
  SymbolEntry* e = entry(id);
  return e ? format(*e, fresh, true) : std::nullopt;
}

std::optional<DisplayText> Variables::format(SymbolEntry& e, bool fresh, bool withUnit) {
  // Texts may show other variables (string references, units), so a
  // description can make one refer to itself.
  Attributes::Nesting nesting(attributes_);
  if (!nesting) return std::nullopt;
  if (fresh && viewMode_ != ViewMode::Parameter && e.state == ValueState::Initial && readHook_) readHook_(e.id);
  DisplayText t;
  t.status = (classFlags(e.root) & kClassLocal) ? std::string(msg::StateLocal) : std::string(stateText(e.state));
  t.value = formatValue(e);
  // The unit variable's own unit is never asked for: a variable that is its
  // own unit, or two that are each other's, would never end.
  if (withUnit) t.unit = unitText(e, fresh);
  return t;
}

std::string Variables::valueText(int32_t id) {
  SymbolEntry* e = entry(id);
  if (!e) return {};
  const auto t = format(*e, false, false);
  return t ? t->value : std::string();
}

bool Variables::hexFormat(int32_t id) {
  const SymbolEntry* e = symbols_.find(id);
  if (!e || (e->typeTag != +Tag::Integer && e->typeTag != +Tag::UnsignedInteger)) return false;
  NumberFormat scratch;
  const NumberFormat& f = numberFormat(*e, true, scratch);
  return !f.printf.empty() && (f.conversion == 'x' || f.conversion == 'X');
}

// Only entries of the table have a place; anything else is worked out anew.
Variables::Kept* Variables::kept(const SymbolEntry& e) {
  const std::span<SymbolEntry> entries = symbols_.entries();
  const auto at = reinterpret_cast<uintptr_t>(&e);
  const auto first = reinterpret_cast<uintptr_t>(entries.data());
  if (at < first || at >= first + entries.size() * sizeof(SymbolEntry)) return nullptr;
  const size_t position = (at - first) / sizeof(SymbolEntry);
  return position < kept_.size() ? &kept_[position] : nullptr;
}

void Variables::forget() {
  for (Kept& k : kept_) k = Kept{};
  unitIndex_.reset();
}

const Variables::NumberFormat& Variables::numberFormat(const SymbolEntry& e, bool integer, NumberFormat& scratch) {
  Kept* k = kept(e);
  if (k && k->format == Keeping::Kept) return k->number;
  // Kept only when every display format of the type is a plain text: one
  // chosen by a condition, or made of another variable's text, can change.
  bool fixed = k && k->format == Keeping::NotYet;
  const EddNode* type = typeNode(e.root);
  for (const EddNode* c = type ? type->child : nullptr; c && fixed; c = c->sibling) {
    if (c->tag == +Tag::DisplayFormat && !literalStrings(c->child)) fixed = false;
  }
  const CompiledList list = typeAttributes(e.root, attr::DisplayFormat);
  const std::string f = list.entries().empty() ? std::string() : stringText(list.entries()[0]);
  scratch = {};
  if (usableFormat(f, integer)) {
    const bool hex = integer && (f.back() == 'x' || f.back() == 'X');
    scratch.printf = (hex ? "0x%" : "%") + f;
    scratch.conversion = f.back();
  } else if (!integer) {
    scratch.printf = "%f";
  }
  if (!k || k->format != Keeping::NotYet) return scratch;
  // A list that did not compile (the value stack was full) is tried again.
  if (fixed && !list.ok()) return scratch;
  k->format = fixed ? Keeping::Kept : Keeping::Compiled;
  if (fixed) k->number = scratch;
  return scratch;
}

std::string Variables::formatValue(SymbolEntry& e) {
  char text[kMaxValueText + 1] = {};
  const std::span<const std::byte> bytes = symbols_.bytes(e);
  switch (e.typeTag) {
    case +Tag::Integer:
    case +Tag::UnsignedInteger: {
      const bool isSigned = e.typeTag == +Tag::Integer;
      const auto v = value(e);
      if (!v) return {};
      const auto bits = static_cast<uint32_t>(v->bits);
      NumberFormat scratch;
      const NumberFormat& f = numberFormat(e, true, scratch);
      if (f.printf.empty()) {
        if (isSigned) {
          std::snprintf(text, sizeof text, "%d", static_cast<int>(bits));
        } else {
          std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(bits));
        }
      } else if (f.conversion == 'd' || f.conversion == 'i') {
        std::snprintf(text, sizeof text, f.printf.c_str(), static_cast<int>(bits));
      } else {
        std::snprintf(text, sizeof text, f.printf.c_str(), static_cast<unsigned>(bits));
      }
      break;
    }
    case +Tag::Float:
    case +Tag::Double: {
      const auto v = value(e);
      if (!v) return {};
      NumberFormat scratch;
      std::snprintf(text, sizeof text, numberFormat(e, false, scratch).printf.c_str(), v->numeric());
      break;
    }
    case +Tag::Enumerated: {
      const auto v = value(e);
      if (!v) return {};
      std::string description = enumDescription(e, static_cast<uint32_t>(v->bits));
      if (description.size() > kMaxValueText) description.resize(kMaxValueText);
      return description;
    }
    case +Tag::BitEnumerated: {
      const auto v = value(e);
      if (!v) return {};
      std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(v->bits));
      break;
    }
    case +Tag::TextString:
    case +Tag::PackedString:
    case +Tag::DateTime43:
    case +Tag::DateTime47: {
      std::string s;
      for (const std::byte b : bytes) {
        if (b == std::byte{0}) break;
        s.push_back(static_cast<char>(b));
      }
      return capped(s);
    }
    default:
      return msg::TypeError;
  }
  return text;
}

std::string Variables::unitText(int32_t id, bool fresh) {
  const SymbolEntry* e = entry(id);
  return e ? unitText(*e, fresh) : std::string();
}

std::string Variables::unitText(const SymbolEntry& e, bool fresh) {
  if (const EddNode* constant = attribute(e.root, +Tag::ConstantUnit)) {
    if (const auto literal = literalStrings(content(constant))) {
      return literal->count == 0 ? std::string() : std::string(description_.text(literal->first));
    }
    const std::vector<Entry> s = strings(content(constant));
    return s.empty() ? std::string() : stringText(s[0]);
  }
  const auto unit = unitVariableOf(e.id);
  if (!unit) return {};
  SymbolEntry* u = entry(*unit);
  if (!u) return {};
  const auto t = format(*u, fresh, false);
  return t ? t->value : std::string();
}

// --- enumerations ----------------------------------------------------------------

bool Variables::collectItems(const SymbolEntry& e, bool bits,
                             const std::function<void(const CompiledList::Item&)>& add) {
  const CompiledList compiled = typeAttributes(e.root, attr::Enumerators);
  bool quiet = compiled.ok();
  size_t walked = 0;
  for (const CompiledList::Item& item : compiled.items()) {
    walked += 1 + item.entries.size();
    const bool belongs = bits ? item.kind >= +Tag::BitEnumerator74 && item.kind <= +Tag::BitEnumerator88
                              : item.kind == +Tag::Enumerator || item.kind == +Tag::Enumerator67;
    if (!belongs) {
      ui_.errorBox(msg::EnumeratedData);
      quiet = false;
      continue;
    }
    if (!item.entries.empty()) add(item);
  }
  return quiet && walked == compiled.entries().size();
}

bool Variables::keepsNow(Kept* k, const SymbolEntry& e, bool quiet) {
  if (!k || k->enumerators != Keeping::NotYet) return false;
  if (!fixedEnumerators(typeNode(e.root))) {
    k->enumerators = Keeping::Compiled;
    return false;
  }
  if (!quiet) return false;
  k->enumerators = Keeping::Kept;
  return true;
}

std::span<const Variables::Enumerator> Variables::enumerators(const SymbolEntry& e, std::vector<Enumerator>& scratch) {
  Kept* k = e.typeTag == +Tag::Enumerated ? kept(e) : nullptr;
  if (k && k->enumerators == Keeping::Kept) return k->enumerated;
  scratch.clear();
  const bool quiet = collectItems(e, false, [&scratch](const CompiledList::Item& item) {
    Enumerator n{item.kind, item.entries[0], std::nullopt};
    if (item.entries.size() > 1) n.description = item.entries[1];
    scratch.push_back(n);
  });
  if (keepsNow(k, e, quiet)) k->enumerated = scratch;
  return scratch;
}

std::string Variables::enumDescription(int32_t id, uint32_t value) {
  const SymbolEntry* e = entry(id);
  return e ? enumDescription(*e, value) : std::string(msg::UnknownEnumerator);
}

std::string Variables::enumDescription(const SymbolEntry& e, uint32_t value) {
  std::vector<Enumerator> scratch;
  for (const Enumerator& n : enumerators(e, scratch)) {
    if (n.value.kind == methods::kind::Value && n.value.numeric() == static_cast<double>(value)) {
      return n.description ? stringText(*n.description) : std::string();
    }
  }
  return msg::UnknownEnumerator;
}

std::optional<Entry> Variables::enumValue(int32_t id, std::string_view description) {
  const SymbolEntry* e = entry(id);
  if (!e) return std::nullopt;
  const std::string_view wanted = platform::trim(description);
  std::vector<Enumerator> scratch;
  for (const Enumerator& n : enumerators(*e, scratch)) {
    if (n.description && n.value.kind == methods::kind::Value && platform::trim(stringText(*n.description)) == wanted) {
      return n.value;
    }
  }
  return std::nullopt;
}

std::vector<std::string> Variables::enumDescriptions(int32_t id) {
  std::vector<std::string> texts;
  const SymbolEntry* e = entry(id);
  if (!e) return texts;
  std::vector<Enumerator> scratch;
  for (const Enumerator& n : enumerators(*e, scratch)) {
    const int32_t k = n.description ? n.description->kind : -1;
    if (k != kind::TextIndex && k != kind::VariableString) {
      ui_.errorBox(msg::EnumEntryKind);
      continue;
    }
    texts.push_back(stringText(*n.description));
  }
  return texts;
}

std::vector<BitEnumerator> Variables::bitEnumerators(int32_t id) {
  std::vector<BitEnumerator> bits;
  const SymbolEntry* e = entry(id);
  if (!e) return bits;
  Kept* k = e->typeTag == +Tag::BitEnumerated ? kept(*e) : nullptr;
  if (k && k->enumerators == Keeping::Kept) return k->bits;
  const bool quiet = collectItems(*e, true, [this, &bits](const CompiledList::Item& item) {
    const Entry& v = item.entries[0];
    bits.push_back({v.kind == methods::kind::Value ? static_cast<uint32_t>(v.bits) : 0u,
                    item.entries.size() > 1 ? stringText(item.entries[1]) : std::string()});
  });
  if (keepsNow(k, *e, quiet)) k->bits = bits;
  return bits;
}

// --- labels and string values -------------------------------------------------------

std::vector<Entry> Variables::strings(const EddNode* stringValue) {
  methods::MethodEngine& engine = attributes_.engine();
  ListWriter out(engine.stack());
  attributes_.compileString(stringValue, out);
  out.finish(+Tag::String);
  const CompiledList list(engine, out.start(), +Tag::String);
  return {list.entries().begin(), list.entries().end()};
}

std::string Variables::label(const EddNode* root) {
  const EddNode* labelAttribute = attribute(root, +Tag::Label);
  if (!labelAttribute) return {};
  if (const auto literal = literalStrings(content(labelAttribute))) {
    if (literal->count > 1) {
      ui_.errorBox(msg::LabelCount);
      return {};
    }
    return literal->count == 0 ? std::string() : std::string(description_.text(literal->first));
  }
  const std::vector<Entry> s = strings(content(labelAttribute));
  if (s.size() > 1) {
    ui_.errorBox(msg::LabelCount);
    return {};
  }
  return s.empty() ? std::string() : stringText(s[0]);
}

std::string Variables::stringText(const Entry& e) {
  if (e.kind == kind::TextIndex) return std::string(description_.text(e.word()));
  if (e.kind == kind::VariableString) {
    SymbolEntry* v = entry(e.word());
    if (!v) return {};
    const auto t = format(*v, false, false);
    return t ? t->value : std::string();
  }
  ui_.errorBox(msg::StringDefinition);
  return {};
}

// --- UNIT relations ----------------------------------------------------------------

// The variable ids of one UNIT list (490 unit references, 491 dependents):
// items 498, each holding the identifier of a variable.
std::vector<int32_t> Variables::unitList(const EddNode* node, uint16_t listTag) {
  methods::MethodEngine& engine = attributes_.engine();
  ListWriter out(engine.stack());
  if (!node || node->tag != listTag) {
    engine.reportTagMismatch(node ? node->tag : 0, listTag);
  } else {
    for (const EddNode* item = node->child; item && !out.failed(); item = item->sibling) {
      const EddNode* id = item->child;
      if (item->tag != +Tag::UnitItem || !id || id->tag != +Tag::Identifier) {
        engine.reportTagMismatch(item->tag == +Tag::UnitItem ? (id ? id->tag : 0) : item->tag,
                                 item->tag == +Tag::UnitItem ? +Tag::Identifier : +Tag::UnitItem);
        continue;
      }
      out.beginItem(+Tag::UnitItem);
      out.push(Entry::tagged(+Tag::Identifier, +methods::TypeCode::UnsignedInt, static_cast<int32_t>(id->value)));
      out.endItem();
    }
  }
  out.finish(listTag);
  std::vector<int32_t> ids;
  const CompiledList list(engine, out.start(), listTag);
  for (const CompiledList::Item& item : list.items()) {
    if (!item.entries.empty()) ids.push_back(item.entries[0].word());
  }
  return ids;
}

std::vector<Variables::UnitRelation> Variables::unitRelations() {
  std::vector<UnitRelation> relations;
  for (const EddElement& element : elements(description_, 20)) {
    if (element.root->tag != +Tag::UnitRelation) continue;
    const EddNode* units = element.root->child ? element.root->child->sibling : nullptr;
    const EddNode* dependents = units ? units->sibling : nullptr;
    relations.push_back({unitList(units, +Tag::UnitReferences), unitList(dependents, +Tag::UnitDependents)});
  }
  return relations;
}

const Variables::UnitIndex& Variables::unitIndex() {
  if (unitIndex_) return *unitIndex_;
  unitIndex_ = std::make_unique<UnitIndex>();
  UnitIndex& index = *unitIndex_;
  // The ids of a list as unitList gives them, or false where unitList
  // would say something.
  const auto ids = [](const EddNode* node, uint16_t listTag, std::vector<int32_t>& out) {
    if (!node || node->tag != listTag) return false;
    for (const EddNode* item = node->child; item; item = item->sibling) {
      const EddNode* id = item->child;
      if (item->tag != +Tag::UnitItem || !id || id->tag != +Tag::Identifier) return false;
      out.push_back(static_cast<int32_t>(id->value));
    }
    return true;
  };
  index.usable = true;
  for (const EddElement& element : elements(description_, 20)) {
    if (element.root->tag != +Tag::UnitRelation) continue;
    const EddNode* units = element.root->child ? element.root->child->sibling : nullptr;
    const EddNode* dependents = units ? units->sibling : nullptr;
    UnitRelation relation;
    if (!ids(units, +Tag::UnitReferences, relation.units) ||
        !ids(dependents, +Tag::UnitDependents, relation.dependents)) {
      index = UnitIndex{};
      break;
    }
    for (const int32_t dependent : relation.dependents) {
      index.unitOf.emplace(dependent, relation.units.empty() ? std::nullopt : std::optional(relation.units.front()));
    }
    index.relations.push_back(std::move(relation));
  }
  return index;
}

std::optional<int32_t> Variables::unitVariableOf(int32_t id) {
  if (const UnitIndex& index = unitIndex(); index.usable) {
    const auto found = index.unitOf.find(id);
    return found == index.unitOf.end() ? std::nullopt : found->second;
  }
  for (const EddElement& element : elements(description_, 20)) {
    if (element.root->tag != +Tag::UnitRelation) continue;
    const EddNode* units = element.root->child ? element.root->child->sibling : nullptr;
    const EddNode* dependents = units ? units->sibling : nullptr;
    const std::vector<int32_t> named = unitList(dependents, +Tag::UnitDependents);
    if (std::find(named.begin(), named.end(), id) == named.end()) continue;
    const std::vector<int32_t> unit = unitList(units, +Tag::UnitReferences);
    if (unit.empty()) return std::nullopt;
    return unit.front();
  }
  return std::nullopt;
}

void Variables::applyUnitRelations(int32_t unitVariableId, int32_t oldCode, int32_t newCode) {
  const UnitIndex& index = unitIndex();
  const std::vector<UnitRelation> walked = index.usable ? std::vector<UnitRelation>() : unitRelations();
  for (const UnitRelation& relation : index.usable ? index.relations : walked) {
    if (std::find(relation.units.begin(), relation.units.end(), unitVariableId) == relation.units.end()) continue;
    for (const int32_t dependent : relation.dependents) {
      const auto v = value(dependent);
      if (!v || v->kind != methods::kind::Value) continue;
      // Stored in the dependent's own type (a double keeps its precision);
      // assigning saturates where a plain cast of a huge value would be
      // undefined.
      assign(dependent, Entry::ofDouble(convertUnit(v->numeric(), oldCode, newCode)));
    }
  }
}

}  // namespace tavrin::model
