// Objects and their attributes. Every attribute becomes one child of the
// object's root, in source order after the identifier; readers find
// attributes by tag, so the order carries no meaning except where a reader
// counts positions (the size of a type comes first, the enumerators next).
#include <algorithm>
#include <array>
#include <string>

#include "edd/tags.h"
#include "eddl/parser.h"
#include "eddtext/tool_tags.h"

namespace tavrin::eddl {

using edd::Tag;
using eddtext::ToolTag;

namespace {

// Readers leave a text behind at 10,240 bytes with its terminating zero.
constexpr size_t kMaxText = 10239;
constexpr int kMaxNesting = 200;

struct Flag {
  std::string_view name;
  uint32_t bits;
};

// Class bits: LOCAL and DYNAMIC are the ones the program reads; the rest
// only have to stay apart from them and from each other.
constexpr Flag kClasses[] = {
    {"DIAGNOSTIC", 0x1},     {"DEVICE", 0x2},   {"SERVICE", 0x4},   {"CORRECTION", 0x8},
    {"COMPUTATION", 0x10},   {"INPUT", 0x20},   {"OUTPUT", 0x40},   {"CONTAINED", 0x80},
    {"OPERATE", 0x100},      {"ALARM", 0x200},  {"TUNE", 0x400},    {"DYNAMIC", 0x1000},
    {"LOCAL", 0x20000},
};
constexpr Flag kHandling[] = {{"READ", 1}, {"WRITE", 2}};
// Menu item qualifiers: 2 read-only, 4 hidden and 64 (a sub-menu kept out
// of the tree) are what the program's views read.
constexpr Flag kQualifiers[] = {{"DISPLAY_VALUE", 1}, {"READ_ONLY", 2}, {"HIDDEN", 4}, {"REVIEW", 8},
                                {"NO_LABEL", 16},     {"NO_UNIT", 32},  {"INLINE", 64}};
constexpr Flag kDataQualifiers[] = {{"INFO", 1}, {"INDEX", 2}};

struct TypeName {
  std::string_view name;
  Tag tag;
};
constexpr TypeName kTypes[] = {
    {"INTEGER", Tag::Integer},         {"UNSIGNED_INTEGER", Tag::UnsignedInteger},
    {"FLOAT", Tag::Float},             {"DOUBLE", Tag::Double},
    {"ENUMERATED", Tag::Enumerated},   {"BIT_ENUMERATED", Tag::BitEnumerated},
    {"ASCII", Tag::TextString},          {"PACKED_ASCII", Tag::PackedString},
    {"DATE", Tag::Date},               {"TIME", Tag::DateTime43},
    {"TIME_VALUE", Tag::DateTime47},   {"DATE_AND_TIME", Tag::DateTime16},
    {"DURATION", Tag::DateTime42},
};

bool isIntegerType(uint16_t t) {
  return t == +Tag::Integer || t == +Tag::UnsignedInteger || t == +Tag::Enumerated || t == +Tag::BitEnumerated;
}
bool isStringType(uint16_t t) { return t == +Tag::TextString || t == +Tag::PackedString; }
bool isNumericType(uint16_t t) { return isIntegerType(t) || t == +Tag::Float || t == +Tag::Double; }

template <size_t N>
const Flag* findFlag(const Flag (&table)[N], std::string_view name) {
  for (const Flag& f : table) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

}  // namespace

const char* kindName(Kind kind) {
  static const char* const names[] = {"VARIABLE", "COMMAND", "MENU", "METHOD", "COLLECTION", "ARRAY", "UNIT", "BLOCK"};
  return names[static_cast<int>(kind)];
}

uint32_t Texts::intern(const std::string& text) {
  auto [it, added] = index_.try_emplace(text, static_cast<uint32_t>(list_.size()));
  if (added) list_.push_back(text);
  return it->second;
}

Parser::Parser(std::vector<Token> tokens, std::vector<Diagnostic>& diagnostics)
    : tokens_(std::move(tokens)), diagnostics_(diagnostics) {}

Parser::Nesting::Nesting(Parser& parser) : p(parser) {
  if (++p.nesting_ > kMaxNesting) p.fail(p.peek(), "nesting deeper than 200 levels");
}

// ---------------------------------------------------------------- tokens

const Token& Parser::peek(size_t ahead) const { return tokens_[std::min(p_ + ahead, tokens_.size() - 1)]; }

const Token& Parser::next() {
  const Token& t = tokens_[p_];
  if (p_ + 1 < tokens_.size()) ++p_;
  if (t.is("{")) ++depth_;
  if (t.is("}") && depth_ > 0) --depth_;
  return t;
}

bool Parser::accept(std::string_view punct) {
  if (!at(punct)) return false;
  next();
  return true;
}

namespace {
std::string shown(const Token& t) {
  switch (t.kind) {
    case TokenKind::End: return "the end of the file";
    case TokenKind::String: return "a text";
    case TokenKind::Integer:
    case TokenKind::Float: return "a number";
    default: return "'" + t.text + "'";
  }
}
}  // namespace

void Parser::expect(std::string_view punct, std::string_view where) {
  if (accept(punct)) return;
  fail(peek(), "expected '" + std::string(punct) + "' " + std::string(where) + ", found " + shown(peek()));
}

std::string Parser::identifier(std::string_view what) {
  const Token& t = peek();
  if (t.kind != TokenKind::Identifier) fail(t, "expected " + std::string(what) + ", found " + shown(t));
  return next().text;
}

void Parser::fail(const Token& where, std::string message) {
  report(where, std::move(message));
  throw ParseError{};
}

void Parser::report(const Token& where, std::string message) {
  if (diagnostics_.size() < kMaxDiagnostics) diagnostics_.push_back({where.line, where.column, std::move(message)});
}

bool Parser::atDefinition() const {
  static constexpr std::string_view words[] = {"VARIABLE", "COMMAND", "MENU", "METHOD",
                                               "COLLECTION", "ARRAY", "UNIT", "BLOCK"};
  const Token& t = peek();
  return t.kind == TokenKind::Identifier && std::find(std::begin(words), std::end(words), t.text) != std::end(words);
}

// After a fault, skip to the end of the definition that holds it (its
// braces balanced), or to the next definition when it had not opened yet.
void Parser::recover(size_t definitionStart) {
  if (p_ == definitionStart) next();
  int depth = depth_;
  while (peek().kind != TokenKind::End) {
    if (depth == 0 && atDefinition()) return;
    const Token& t = next();
    if (t.is("{")) ++depth;
    if (t.is("}") && depth > 0 && --depth == 0) {
      accept(";");
      return;
    }
  }
}

void Parser::run() {
  while (peek().kind != TokenKind::End && diagnostics_.size() < kMaxDiagnostics) {
    const size_t start = p_;
    depth_ = 0;
    nesting_ = 0;
    try {
      definition();
    } catch (const ParseError&) {
      recover(start);
    }
  }
}

// ---------------------------------------------------------------- pieces

Ast Parser::identUse(const Token& where, const std::string& name, KindSet kinds) {
  uses.push_back({name, where.line, where.column, kinds, {}});
  return ident(name);
}

uint32_t Parser::integer(std::string_view what, int64_t min, int64_t max) {
  const Token& t = peek();
  bool negative = false;
  if (t.is("-") && peek(1).kind == TokenKind::Integer) {
    negative = true;
    next();
  }
  const Token& n = peek();
  if (n.kind != TokenKind::Integer) fail(n, "expected " + std::string(what) + ", found " + shown(n));
  next();
  const int64_t value = n.integer > uint64_t{1} << 40 ? INT64_MAX : static_cast<int64_t>(n.integer);
  const int64_t signedValue = negative ? -value : value;
  if (signedValue < min || signedValue > max) {
    fail(n, std::string(what) + " must lie in " + std::to_string(min) + " to " + std::to_string(max));
  }
  return static_cast<uint32_t>(signedValue);
}

std::string Parser::text(std::string_view what) {
  const Token& first = peek();
  if (first.kind != TokenKind::String) fail(first, "expected " + std::string(what) + ", found " + shown(first));
  std::string joined;
  // Adjacent texts are one text, as in C, so long ones can span lines.
  while (peek().kind == TokenKind::String) joined += next().text;
  if (joined.size() > kMaxText) fail(first, "a text longer than 10239 bytes");
  return joined;
}

// name, name[index], name.member, chained.
Ast Parser::reference(KindSet kinds) {
  Nesting guard(*this);
  const Token& where = peek();
  const std::string name = identifier("a name");
  if (!at("[") && !at(".")) return identUse(where, name, kinds);
  Ast ref = identUse(where, name, 0);
  // An index: the uses of the index expression may move the vector.
  size_t base = uses.size() - 1;
  constexpr size_t kNone = SIZE_MAX;
  for (;;) {
    if (accept("[")) {
      if (base != kNone) uses[base].kinds |= bit(Kind::Array);
      Ast element(+Tag::ArrayElementRef);
      element.add(std::move(ref)).add(Ast(+Tag::Expression).add(expression(Mode::Description)));
      expect("]", "after an array index");
      ref = std::move(element);
      base = kNone;
    } else if (accept(".")) {
      const std::string member = identifier("a member name");
      if (base != kNone) {
        uses[base].kinds |= bit(Kind::Collection);
        uses[base].member = member;
      }
      Ast m(+Tag::CollectionMemberRef);
      m.add(std::move(ref)).add(ident(member));
      ref = std::move(m);
      base = kNone;
    } else {
      return ref;
    }
  }
}

// IF or SELECT: `ifBranch` parses what follows IF (...) and ELSE,
// `caseBranch` what follows CASE x: and DEFAULT:.
template <class B, class C>
Ast Parser::choice(B ifBranch, C caseBranch) {
  Nesting guard(*this);
  if (atWord("IF")) {
    next();
    Ast node(+Tag::If);
    node.add(condition());
    node.add(Ast(+Tag::Then).add(ifBranch()));
    if (atWord("ELSE")) {
      next();
      node.add(Ast(+Tag::Else).add(atWord("IF") ? choice(ifBranch, caseBranch) : ifBranch()));
    }
    return node;
  }
  next();
  Ast node(+Tag::Select);
  node.add(condition());
  open("after SELECT (...)");
  while (!at("}")) {
    if (atWord("CASE")) {
      next();
      Ast branch(+Tag::Case);
      branch.add(Ast(+Tag::Expression).add(expression(Mode::Description)));
      expect(":", "after the CASE value");
      branch.add(caseBranch());
      node.add(std::move(branch));
    } else if (atWord("DEFAULT")) {
      next();
      expect(":", "after DEFAULT");
      node.add(Ast(+Tag::Default).add(caseBranch()));
    } else {
      fail(peek(), "a SELECT holds CASE and DEFAULT branches, found " + shown(peek()));
    }
  }
  close("to end the SELECT");
  return node;
}

template <class F>
Ast Parser::conditional(F plain) {
  Nesting guard(*this);
  if (atWord("IF") || atWord("SELECT")) {
    auto braced = [&] {
      open("to start the branch");
      Ast value = conditional(plain);
      close("to end the branch");
      return value;
    };
    return choice(braced, [&] { return conditional(plain); });
  }
  Ast value = plain();
  expect(";", "after the value");
  return Ast(+Tag::Direct).add(std::move(value));
}

// A list in braces: its items, or one IF or SELECT whose branches are lists.
template <class F>
Ast Parser::conditionalList(F item, std::string_view separator) {
  open("to start the list");
  Ast result = listBody(item, separator);
  close("to end the list");
  return result;
}

template <class F>
Ast Parser::listBody(F item, std::string_view separator) {
  Nesting guard(*this);
  if (atWord("IF") || atWord("SELECT")) {
    auto branch = [&] { return conditionalList(item, separator); };
    return choice(branch, branch);
  }
  Ast result(+Tag::Direct);
  while (!at("}")) {
    result.add(item());
    if (!separator.empty() && !accept(separator)) break;
  }
  return result;
}

Ast Parser::plainString() {
  const Token& t = peek();
  if (t.kind == TokenKind::String) return Ast(+Tag::String).add(Ast(+Tag::StringLiteral, texts.intern(text("a text"))));
  if (t.kind == TokenKind::Identifier) {
    // The current text of a string variable.
    const std::string name = next().text;
    return Ast(+Tag::String).add(Ast(+Tag::StringFromVariable).add(identUse(t, name, bit(Kind::Variable))));
  }
  if (t.is("[")) fail(t, "dictionary texts ([name]) are not supported; write the text itself");
  fail(t, "expected a text, found " + shown(t));
}

Ast Parser::stringValue() {
  return conditional([this] { return plainString(); });
}

Ast Parser::expressionValue() {
  return conditional([this] { return Ast(+Tag::Expression).add(expression(Mode::Description)); });
}

// A value of a string variable written as an expression becomes a string
// value: a lone text literal is the only expression that can stand there.
bool Parser::toStringValue(Ast& s) {
  if (s.tag == +Tag::Direct) {
    if (s.children.size() != 1 || s.children[0].children.size() != 1 ||
        s.children[0].children[0].tag != +Tag::StringConstant) {
      return false;
    }
    const uint32_t index = s.children[0].children[0].value;
    s.children[0] = Ast(+Tag::String).add(Ast(+Tag::StringLiteral, index));
    return true;
  }
  bool ok = true;
  for (Ast& c : s.children) {
    if (c.tag == +Tag::Then || c.tag == +Tag::Else) ok = toStringValue(c.children[0]) && ok;
    if (c.tag == +Tag::Case) ok = toStringValue(c.children[1]) && ok;
    if (c.tag == +Tag::Default) ok = toStringValue(c.children[0]) && ok;
  }
  return ok;
}

bool Parser::holdsText(const Ast& s) const {
  if (s.tag == +Tag::Direct) {
    return s.children.size() == 1 && s.children[0].children.size() == 1 &&
           s.children[0].children[0].tag == +Tag::StringConstant;
  }
  for (const Ast& c : s.children) {
    if ((c.tag == +Tag::Then || c.tag == +Tag::Else || c.tag == +Tag::Default) && holdsText(c.children[0])) return true;
    if (c.tag == +Tag::Case && holdsText(c.children[1])) return true;
  }
  return false;
}

Ast Parser::actions() {
  return conditionalList(
      [this]() -> Ast {
        if (atWord("DEFINITION")) {
          next();
          return Ast(+Tag::MethodInline).add(Ast(+Tag::MethodDefinition).add(body()));
        }
        const Token& where = peek();
        const std::string name = identifier("a method name or DEFINITION { ... }");
        return Ast(+Tag::MethodReference).add(identUse(where, name, bit(Kind::Method)));
      },
      ",");
}

void Parser::once(std::set<std::string>& seen, const Token& where) {
  if (!seen.insert(where.text).second) report(where, where.text + " is given twice");
}

// Attributes every object kind but UNIT takes.
bool Parser::commonAttribute(const Token& word, Ast& root, std::set<std::string>& seen) {
  if (word.isWord("LABEL")) {
    once(seen, word);
    next();
    root.add(attribute(+Tag::Label, stringValue()));
  } else if (word.isWord("HELP")) {
    once(seen, word);
    next();
    root.add(attribute(+ToolTag::Help, stringValue()));
  } else if (word.isWord("VALIDITY")) {
    once(seen, word);
    next();
    root.add(attribute(+Tag::Validity, conditional([this]() -> Ast {
                         const Token& t = peek();
                         if (t.isWord("TRUE")) return next(), Ast(+ToolTag::Valid);
                         if (t.isWord("FALSE")) return next(), Ast(+Tag::Invalid);
                         fail(t, "a validity is TRUE or FALSE, found " + shown(t));
                       })));
  } else {
    return false;
  }
  return true;
}

uint32_t Parser::classFlags() {
  uint32_t flags = 0;
  do {
    const Token& c = peek();
    const Flag* f = findFlag(kClasses, identifier("a class"));
    if (!f) fail(c, "unknown class '" + c.text + "'");
    flags |= f->bits;
  } while (accept("&") || accept("|"));
  expect(";", "after the class");
  return flags;
}

// The attributes of a definition up to its closing brace: the common ones
// here, the others by `handle`; each at most once, but transactions.
template <class F>
void Parser::attributeLoop(Ast& root, std::set<std::string>& seen, std::string_view what, F handle) {
  while (!at("}")) {
    const Token word = peek();
    if (commonAttribute(word, root, seen)) continue;
    if (word.kind != TokenKind::Identifier) {
      fail(word, "expected an attribute of " + std::string(what) + ", found " + shown(word));
    }
    if (!word.isWord("TRANSACTION")) once(seen, word);
    next();
    handle(word);
    accept(";");
  }
}

// ---------------------------------------------------------------- objects

void Parser::definition() {
  const Token& t = peek();
  if (t.isWord("VARIABLE")) return variable();
  if (t.isWord("COMMAND")) return command();
  if (t.isWord("MENU")) return menu();
  if (t.isWord("METHOD")) return method();
  if (t.isWord("COLLECTION")) return collectionOrArray(false);
  if (t.isWord("ARRAY")) return collectionOrArray(true);
  if (t.isWord("UNIT")) return unit();
  if (t.isWord("BLOCK")) return block();
  if (t.kind == TokenKind::Identifier) {
    fail(t, "unknown or unsupported definition '" + t.text +
                "' (VARIABLE, COMMAND, MENU, METHOD, COLLECTION, ARRAY, UNIT and BLOCK are understood)");
  }
  fail(t, "expected a definition, found " + shown(t));
}

Object& Parser::begin(Kind kind, const Token& where, const std::string& name, int list) {
  if (auto [it, added] = defined_.try_emplace(name, where.line, where.column); !added) {
    report(where, "'" + name + "' is defined twice (first at line " + std::to_string(it->second.first) + ")");
  }
  Object o;
  o.kind = kind;
  o.name = name;
  o.line = where.line;
  o.column = where.column;
  o.list = list;
  objects.push_back(std::move(o));
  return objects.back();
}

void Parser::variable() {
  next();
  const Token& where = peek();
  const std::string name = identifier("the variable's name");
  Ast root(+Tag::Variable);
  root.add(ident(name));
  open("to start the variable");
  std::set<std::string> seen;
  uint16_t typeTag = 0;
  size_t typeIndex = 0;
  std::vector<std::pair<Token, Ast>> values;  // DEFAULT_VALUE, INITIAL_VALUE written at this level
  attributeLoop(root, seen, "the variable", [&](const Token& word) {
    const std::string& w = word.text;
    if (w == "CLASS") {
      root.add(Ast(+Tag::ClassFlags, classFlags()));
    } else if (w == "TYPE") {
      typeIndex = root.children.size();
      root.add(Ast(+Tag::Type).add(type(typeTag)));
    } else if (w == "HANDLING") {
      root.add(attribute(+Tag::Handling, conditional([this]() -> Ast {
                           uint32_t flags = 0;
                           do {
                             const Token& h = peek();
                             const Flag* f = findFlag(kHandling, identifier("READ or WRITE"));
                             if (!f) fail(h, "a handling is READ, WRITE or READ & WRITE");
                             flags |= f->bits;
                           } while (accept("&") || accept("|"));
                           return Ast(+Tag::HandlingFlags, flags);
                         })));
    } else if (w == "CONSTANT_UNIT") {
      root.add(attribute(+Tag::ConstantUnit, stringValue()));
    } else if (w == "DEFAULT_VALUE" || w == "INITIAL_VALUE") {
      values.emplace_back(word, expressionValue());
    } else {
      static constexpr std::pair<std::string_view, Tag> kActions[] = {
          {"POST_EDIT_ACTIONS", Tag::EditActions291}, {"POST_READ_ACTIONS", Tag::PostReadActions},
          {"POST_WRITE_ACTIONS", Tag::PostWriteActions}, {"PRE_EDIT_ACTIONS", Tag::EditActions294},
          {"PRE_READ_ACTIONS", Tag::PreReadActions},   {"PRE_WRITE_ACTIONS", Tag::PreWriteActions}};
      const auto found = std::find_if(std::begin(kActions), std::end(kActions), [&](auto& a) { return a.first == w; });
      if (found == std::end(kActions)) fail(word, "unknown or unsupported variable attribute '" + w + "'");
      root.add(attribute(+found->second, actions()));
    }
  });
  close("to end the variable");
  if (!typeTag) fail(where, "the variable '" + name + "' has no TYPE");
  // Values of string variables are texts, which only the type's own
  // attributes can hold; numbers are expressions the engine evaluates,
  // and the variable keeps them itself.
  Ast& typeNode = root.children[typeIndex].children[0];
  for (auto& [word, value] : values) {
    const uint16_t tag = word.text == "DEFAULT_VALUE" ? +Tag::DefaultValue : +Tag::InitialValue;
    if (isStringType(typeTag)) {
      if (!toStringValue(value)) report(word, word.text + " of a text variable must be a text");
      typeNode.add(attribute(tag, std::move(value)));
    } else if (isNumericType(typeTag)) {
      if (holdsText(value)) report(word, word.text + " of a numeric variable must be a number");
      root.add(attribute(tag, std::move(value)));
    } else {
      report(word, word.text + " needs a numeric or text type");
    }
  }
  begin(Kind::Variable, where, name, 0).root = std::move(root);
}

Ast Parser::type(uint16_t& typeTag) {
  const Token& t = peek();
  const std::string word = identifier("a type");
  const auto found = std::find_if(std::begin(kTypes), std::end(kTypes), [&](auto& n) { return n.name == word; });
  if (found == std::end(kTypes)) fail(t, "unknown or unsupported type '" + word + "'");
  typeTag = +found->tag;
  Ast type(typeTag);
  const bool sized = isIntegerType(typeTag) || isStringType(typeTag) || typeTag == +Tag::DateTime43;
  if (at("(")) {
    if (!sized) fail(peek(), word + " takes no size");
    next();
    type.add(Ast(+Tag::IntegerConstant, integer("the size", 1, isStringType(typeTag) ? 2048 : isIntegerType(typeTag) ? 4 : 8)));
    expect(")", "after the size");
  } else if (isStringType(typeTag)) {
    fail(peek(), word + " needs its size in bytes: " + word + " (n)");
  } else if (isIntegerType(typeTag)) {
    type.add(Ast(+Tag::Empty));  // no size: one byte
  }
  const bool enumerated = typeTag == +Tag::Enumerated || typeTag == +Tag::BitEnumerated;
  if (at("{")) {
    if (typeTag == +Tag::Date) fail(peek(), "DATE takes no attributes");
    // TIME counts its attributes from the second child: the size must be
    // there, so an unsized TIME states its default size of 6.
    if (typeTag == +Tag::DateTime43 && type.children.empty()) type.add(Ast(+Tag::IntegerConstant, 6));
    typeAttributes(type, typeTag);
  } else if (enumerated) {
    fail(peek(), word + " needs its enumerators: " + word + " { { value, \"text\" }, ... }");
  }
  return type;
}

void Parser::typeAttributes(Ast& type, uint16_t typeTag) {
  const bool enumerated = typeTag == +Tag::Enumerated || typeTag == +Tag::BitEnumerated;
  const bool bits = typeTag == +Tag::BitEnumerated;
  open("to start the type's attributes");
  std::set<std::string> seen;
  Ast items(+Tag::Direct);
  Ast conditionalItems;
  std::vector<Ast> attributes;
  while (!at("}")) {
    const Token word = peek();
    if (word.is("{")) {
      if (!enumerated) fail(word, "only ENUMERATED and BIT_ENUMERATED types hold enumerators");
      items.add(enumerator(bits));
      accept(",");
      continue;
    }
    if (word.isWord("IF") || word.isWord("SELECT")) {
      if (!enumerated) fail(word, "only the enumerators of a type can depend on a condition here");
      if (conditionalItems.tag != 0) fail(word, "the enumerators are given twice");
      // Each branch holds its enumerators in braces of its own.
      conditionalItems = listBody([this, bits] { return enumerator(bits); }, ",");
      continue;
    }
    if (word.kind != TokenKind::Identifier) fail(word, "expected an attribute of the type, found " + shown(word));
    once(seen, word);
    next();
    const std::string& w = word.text;
    auto requireNumeric = [&] {
      if (!isNumericType(typeTag)) fail(word, w + " needs a numeric type");
    };
    if (w == "DISPLAY_FORMAT") {
      attributes.push_back(attribute(+Tag::DisplayFormat, stringValue()));
    } else if (w == "EDIT_FORMAT") {
      attributes.push_back(attribute(+Tag::EditFormat, stringValue()));
    } else if (w == "MIN_VALUE" || w == "MAX_VALUE") {
      requireNumeric();
      attributes.push_back(attribute(w == "MIN_VALUE" ? +Tag::MinValue : +Tag::MaxValue, expressionValue()));
    } else if ((w.starts_with("MIN_VALUE") || w.starts_with("MAX_VALUE")) && w.size() <= 11 &&
               std::all_of(w.begin() + 9, w.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      requireNumeric();
      const int n = std::stoi(w.substr(9));
      if (n < 1 || n > 31) fail(word, "indexed ranges are numbered 1 to 31");
      Ast range(w.starts_with("MIN") ? +Tag::IndexedMinValue : +Tag::IndexedMaxValue);
      range.add(Ast(+Tag::IntegerConstant, static_cast<uint32_t>(n))).add(expressionValue());
      attributes.push_back(std::move(range));
    } else if (w == "DEFAULT_VALUE" || w == "INITIAL_VALUE") {
      const uint16_t tag = w == "DEFAULT_VALUE" ? +Tag::DefaultValue : +Tag::InitialValue;
      if (isStringType(typeTag)) {
        attributes.push_back(attribute(tag, stringValue()));
      } else {
        if (!isNumericType(typeTag)) fail(word, w + " needs a numeric or text type");
        Ast value = expressionValue();
        if (holdsText(value)) report(word, w + " of a numeric variable must be a number");
        attributes.push_back(attribute(tag, std::move(value)));
      }
    } else {
      fail(word, "unknown or unsupported type attribute '" + w + "'");
    }
    accept(";");
  }
  close("to end the type's attributes");
  if (enumerated) {
    if (items.children.empty() && conditionalItems.tag == 0) fail(peek(), "a type without enumerators");
    if (!items.children.empty() && conditionalItems.tag != 0) {
      fail(peek(), "enumerators are either a list or one IF or SELECT, not both");
    }
    // Readers find the enumerators right after the size.
    type.add(attribute(+Tag::Enumerators, conditionalItems.tag ? std::move(conditionalItems) : std::move(items)));
  }
  for (Ast& a : attributes) type.add(std::move(a));
}

Ast Parser::enumerator(bool bits) {
  Nesting guard(*this);
  open("to start an enumerator");
  Ast value;
  const Token& v = peek();
  if (v.kind == TokenKind::Float || (v.is("-") && peek(1).kind == TokenKind::Float)) {
    if (bits) fail(v, "a bit enumerator's value is an integer");
    const bool negative = accept("-");
    value = numberConstant(next(), negative);
  } else {
    value = Ast(+Tag::IntegerConstant, integer("the enumerator's value", bits ? 0 : INT32_MIN, UINT32_MAX));
  }
  expect(",", "after the enumerator's value");
  Ast item(bits ? +Tag::BitEnumerator74 : +Tag::Enumerator);
  item.add(std::move(value)).add(directString());
  if (accept(",")) {
    item.add(directString());
    item.tag = bits ? +Tag::BitEnumerator75 : +Tag::Enumerator67;
  }
  close("to end the enumerator");
  return item;
}

void Parser::command() {
  next();
  const Token& where = peek();
  const std::string name = identifier("the command's name");
  Ast root(+Tag::Command);
  root.add(ident(name));
  open("to start the command");
  std::set<std::string> seen;
  uint32_t transactions = 0;
  attributeLoop(root, seen, "the command", [&](const Token& word) {
    const std::string& w = word.text;
    if (w == "BLOCK") {
      root.add(attribute(+Tag::Block, conditional([this]() -> Ast {
                           const Token& b = peek();
                           return identUse(b, identifier("a block's name"), bit(Kind::Block));
                         })));
    } else if (w == "SLOT" || w == "INDEX") {
      root.add(attribute(w == "SLOT" ? +Tag::Slot : +Tag::Index, conditional([this, w]() -> Ast {
                           return Ast(+Tag::IntegerConstant, integer(w == "SLOT" ? "the slot" : "the index", 0, 255));
                         })));
    } else if (w == "OPERATION") {
      root.add(attribute(+Tag::Operation, conditional([this]() -> Ast {
                           const Token& o = peek();
                           const std::string op = identifier("READ, WRITE or COMMAND");
                           if (op == "READ") return Ast(+Tag::Read);
                           if (op == "WRITE") return Ast(+Tag::Write);
                           if (op == "COMMAND") return Ast(+Tag::Command);
                           fail(o, "an operation is READ, WRITE or COMMAND");
                         })));
    } else if (w == "TRANSACTION") {
      uint32_t number = transactions;
      if (peek().kind == TokenKind::Integer) {
        const Token& n = peek();
        number = integer("the transaction number", 0, 255);
        if (number != transactions) {
          fail(n, "transactions are numbered in order from 0; this one is transaction " + std::to_string(transactions));
        }
      }
      root.add(transaction(number));
      ++transactions;
    } else if (w == "FUNCTION_CODE" || w == "ADDRESS") {
      Ast value(+Tag::Direct);
      value.add(Ast(+Tag::Expression).add(expression(Mode::Description)));
      expect(";", "after the value");
      root.add(attribute(w == "FUNCTION_CODE" ? +Tag::FunctionCode : +Tag::RegisterAddress, std::move(value)));
    } else {
      fail(word, "unknown or unsupported command attribute '" + w + "'");
    }
  });
  close("to end the command");
  const bool profibus = seen.count("SLOT") || seen.count("BLOCK") || seen.count("INDEX");
  const bool modbus = seen.count("FUNCTION_CODE") || seen.count("ADDRESS");
  if (!seen.count("OPERATION")) report(where, "the command '" + name + "' has no OPERATION");
  if (transactions == 0) report(where, "the command '" + name + "' has no TRANSACTION");
  if (profibus && modbus) {
    report(where, "the command '" + name + "' mixes Profibus (SLOT, BLOCK, INDEX) and Modbus (FUNCTION_CODE, ADDRESS) addressing");
  } else if (profibus && (!seen.count("INDEX") || !(seen.count("SLOT") || seen.count("BLOCK")))) {
    report(where, "the command '" + name + "' needs INDEX and either SLOT or BLOCK");
  } else if (modbus && !(seen.count("FUNCTION_CODE") && seen.count("ADDRESS"))) {
    report(where, "the command '" + name + "' needs both FUNCTION_CODE and ADDRESS");
  } else if (!profibus && !modbus) {
    report(where, "the command '" + name +
                   "' has no address: SLOT or BLOCK with INDEX (Profibus), or FUNCTION_CODE and ADDRESS (Modbus)");
  }
  begin(Kind::Command, where, name, 2).root = std::move(root);
}

Ast Parser::transaction(uint32_t number) {
  Nesting guard(*this);
  Ast node(+Tag::Transaction);
  node.add(Ast(+Tag::IntegerConstant, number));
  open("to start the transaction");
  Ast request(+Tag::Request), reply(+Tag::Reply);
  std::set<std::string> seen;
  while (!at("}")) {
    const Token word = peek();
    if (!word.isWord("REQUEST") && !word.isWord("REPLY")) {
      fail(word, "a transaction holds REQUEST and REPLY, found " + shown(word));
    }
    once(seen, word);
    next();
    Ast& part = word.isWord("REQUEST") ? request : reply;
    open("to start the data items");
    while (!at("}")) {
      part.add(dataItem());
      if (!accept(",")) break;
    }
    close("to end the data items");
    accept(";");
  }
  close("to end the transaction");
  node.add(std::move(request)).add(std::move(reply));
  return node;
}

Ast Parser::dataItem() {
  if (peek().kind == TokenKind::Integer) {
    return Ast(+Tag::DataConstant).add(Ast(+Tag::IntegerConstant, integer("a constant data byte", 0, 255)));
  }
  Ast ref = reference(kValueKinds);
  uint32_t qualifiers = 0;
  bool qualified = false, masked = false;
  uint32_t mask = 0;
  if (accept("<")) {
    masked = true;
    mask = integer("the mask", 0, UINT32_MAX);
    expect(">", "after the mask");
  }
  if (accept("(")) {
    qualified = true;
    do {
      const Token& q = peek();
      const Flag* f = findFlag(kDataQualifiers, identifier("INFO or INDEX"));
      if (!f) fail(q, "a data item qualifier is INFO or INDEX");
      qualifiers |= f->bits;
    } while (accept(","));
    expect(")", "after the qualifiers");
  }
  Ast item(+Tag::DataReference);
  item.add(std::move(ref));
  if (qualified && masked) {
    item.tag = +Tag::DataQualifiedMasked;
    item.add(Ast(+Tag::IntegerConstant, qualifiers)).add(Ast(+Tag::IntegerConstant, mask));
  } else if (qualified) {
    item.tag = +Tag::DataQualified;
    item.add(Ast(+Tag::IntegerConstant, qualifiers));
  } else if (masked) {
    item.tag = +Tag::DataMasked;
    item.add(Ast(+Tag::IntegerConstant, mask));
  }
  return item;
}

void Parser::menu() {
  next();
  const Token& where = peek();
  const std::string name = identifier("the menu's name");
  Ast root(+Tag::Menu);
  root.add(ident(name));
  open("to start the menu");
  std::set<std::string> seen;
  attributeLoop(root, seen, "the menu", [&](const Token& word) {
    const std::string& w = word.text;
    if (w == "ITEMS") {
      root.add(attribute(+Tag::MenuItems, conditionalList([this] { return menuItem(); }, ",")));
    } else if (w == "PRE_READ_ACTIONS" || w == "POST_READ_ACTIONS" || w == "PRE_WRITE_ACTIONS" ||
               w == "POST_WRITE_ACTIONS") {
      const uint16_t tag = w == "PRE_READ_ACTIONS"    ? +Tag::PreReadActions
                           : w == "POST_READ_ACTIONS" ? +Tag::PostReadActions
                           : w == "PRE_WRITE_ACTIONS" ? +Tag::PreWriteActions
                                                      : +Tag::PostWriteActions;
      root.add(attribute(tag, actions()));
    } else {
      fail(word, "unknown or unsupported menu attribute '" + w + "'");
    }
  });
  close("to end the menu");
  if (!seen.count("ITEMS")) report(where, "the menu '" + name + "' has no ITEMS");
  begin(Kind::Menu, where, name, 5).root = std::move(root);
}

Ast Parser::menuItem() {
  const Token& t = peek();
  if (t.kind == TokenKind::String) return Ast(+Tag::TitleBreak).add(directString());
  if (t.isWord("COLUMNBREAK")) return next(), Ast(+Tag::Layout185);
  if (t.isWord("ROWBREAK")) return next(), Ast(+Tag::Layout186);
  if (t.isWord("SEPARATOR")) return next(), Ast(+Tag::Layout187);
  Ast ref = reference(kValueKinds | bit(Kind::Menu) | bit(Kind::Method));
  if (!accept("(")) return Ast(+Tag::MenuItem).add(std::move(ref));
  uint32_t qualifiers = 0;
  do {
    const Token& q = peek();
    const Flag* f = findFlag(kQualifiers, identifier("a qualifier"));
    if (!f) fail(q, "unknown menu item qualifier '" + q.text + "'");
    qualifiers |= f->bits;
  } while (accept(","));
  expect(")", "after the qualifiers");
  return Ast(+Tag::MenuItemWithArgs)
      .add(std::move(ref))
      .add(Ast(+Tag::ItemQualifiers).add(Ast(+Tag::IntegerConstant, qualifiers)));
}

void Parser::method() {
  next();
  const Token& where = peek();
  const std::string name = identifier("the method's name");
  Ast root(+Tag::Method);
  root.add(ident(name));
  open("to start the method");
  std::set<std::string> seen;
  attributeLoop(root, seen, "the method", [&](const Token& word) {
    if (word.text == "DEFINITION") {
      root.add(Ast(+Tag::MethodDefinition).add(body()));
    } else if (word.text == "CLASS") {
      root.add(Ast(+Tag::ClassFlags, classFlags()));
    } else {
      fail(word, "unknown or unsupported method attribute '" + word.text + "'");
    }
  });
  close("to end the method");
  begin(Kind::Method, where, name, 6).root = std::move(root);
}

void Parser::collectionOrArray(bool array) {
  const Token& keyword = next();
  Ast header(+ToolTag::ObjectHeader);
  bool typed = false;
  if (atWord("OF")) {
    next();
    const Token& k = peek();
    const std::string kind = identifier("VARIABLE, COLLECTION or ARRAY");
    if (kind == "VARIABLE") header.add(Ast(+Tag::Variable));
    else if (kind == "COLLECTION") header.add(Ast(+Tag::Collection));
    else if (kind == "ARRAY") header.add(Ast(+Tag::Array));
    else fail(k, "a " + keyword.text + " holds VARIABLEs, COLLECTIONs or ARRAYs");
    typed = true;
  } else {
    header.add(Ast(+Tag::Empty));
  }
  const Token& where = peek();
  const std::string name = identifier(array ? "the array's name" : "the collection's name");
  header.add(ident(name));
  // The loader takes an array's name (and a typed collection's) from the
  // second child of its first child; a plain collection names itself
  // first, like every other object.
  Ast root(array ? (typed ? +Tag::ArrayOf : +Tag::Array) : (typed ? +Tag::CollectionOf : +Tag::Collection));
  if (array || typed) {
    root.add(std::move(header));
  } else {
    root.add(ident(name));
  }
  open(array ? "to start the array" : "to start the collection");
  std::set<std::string> seen;
  std::set<std::string> memberNames;
  bool plainMembers = false;
  const char* list = array ? "ELEMENTS" : "MEMBERS";
  while (!at("}")) {
    const Token word = peek();
    if (commonAttribute(word, root, seen)) continue;
    if (!word.isWord(list)) fail(word, std::string("expected an attribute of the ") + (array ? "array" : "collection") +
                                           " (LABEL, HELP, VALIDITY, " + list + "), found " + shown(word));
    once(seen, word);
    next();
    Ast items = conditionalList(
        [&, this]() -> Ast {
          Ast item;
          if (array) {
            item = Ast(+Tag::Element401);
            item.add(Ast(+Tag::IntegerConstant, integer("the element's index", INT32_MIN, INT32_MAX)));
          } else {
            item = Ast(+Tag::Member122);
            const Token& m = peek();
            const std::string member = identifier("the member's name");
            if (!memberNames.insert(member).second) report(m, "the member '" + member + "' is given twice");
            item.add(ident(member));
          }
          expect(",", "before the reference");
          item.add(reference(kValueKinds | bit(Kind::Menu) | bit(Kind::Method)));
          if (accept(",")) {
            item.add(directString());
            item.tag = array ? +Tag::Element406 : +Tag::Member123;
            if (accept(",")) {
              item.add(directString());
              item.tag = array ? +Tag::Element407 : +Tag::Member124;
            }
          }
          expect(";", "after the item");
          return item;
        },
        "");
    plainMembers = items.tag == +Tag::Direct;
    root.add(attribute(array ? +Tag::Elements : +Tag::Members, std::move(items)));
    accept(";");
  }
  close(array ? "to end the array" : "to end the collection");
  if (!seen.count(list)) report(where, std::string("the ") + (array ? "array '" : "collection '") + name + "' has no " + list);
  Object& o = begin(array ? Kind::Array : Kind::Collection, where, name, array ? 4 : 3);
  o.root = std::move(root);
  o.membersKnown = !array && plainMembers;
  o.members = std::move(memberNames);
}

void Parser::unit() {
  next();
  const Token& where = peek();
  const std::string name = identifier("the unit relation's name");
  Ast root(+Tag::UnitRelation);
  root.add(ident(name));
  open("to start the unit relation");
  const Token& u = peek();
  root.add(Ast(+Tag::UnitReferences).add(Ast(+Tag::UnitItem).add(identUse(u, identifier("the unit variable"), bit(Kind::Variable)))));
  expect(":", "after the unit variable");
  Ast dependents(+Tag::UnitDependents);
  do {
    const Token& d = peek();
    dependents.add(Ast(+Tag::UnitItem).add(identUse(d, identifier("a variable that takes the unit"), bit(Kind::Variable))));
  } while (accept(","));
  root.add(std::move(dependents));
  close("to end the unit relation");
  begin(Kind::Unit, where, name, 20).root = std::move(root);
}

void Parser::block() {
  next();
  const Token& where = peek();
  const std::string name = identifier("the block's name");
  Ast root(+Tag::Block);
  root.add(ident(name));
  open("to start the block");
  std::set<std::string> seen;
  attributeLoop(root, seen, "the block", [&](const Token& word) {
    if (word.text == "TYPE") {
      const Token& k = peek();
      const std::string kind = identifier("PHYSICAL, TRANSDUCER or FUNCTION");
      uint16_t tag = 0;
      if (kind == "PHYSICAL") tag = +Tag::PhysicalBlock;
      if (kind == "TRANSDUCER") tag = +Tag::TransducerBlock;
      if (kind == "FUNCTION") tag = +Tag::FunctionBlock;
      if (!tag) fail(k, "a block's type is PHYSICAL, TRANSDUCER or FUNCTION");
      expect(";", "after the block's type");
      root.add(Ast(+Tag::Type).add(Ast(tag)));
    } else if (word.text == "NUMBER") {
      root.add(attribute(+Tag::BlockNumber, conditional([this]() -> Ast {
                           return Ast(+Tag::IntegerConstant, integer("the block's number", 1, 255));
                         })));
    } else {
      fail(word, "unknown or unsupported block attribute '" + word.text + "'");
    }
  });
  close("to end the block");
  if (!seen.count("TYPE") || !seen.count("NUMBER")) report(where, "the block '" + name + "' needs TYPE and NUMBER");
  begin(Kind::Block, where, name, 1).root = std::move(root);
}

}  // namespace tavrin::eddl
