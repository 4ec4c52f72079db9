#include "engine_fixture.h"

#include <bit>
#include <charconv>
#include <sstream>

#include "edd/tags.h"

namespace tavrin::methods::testing {
namespace {

uint16_t tagNumber(std::string_view name) {
  static const std::map<std::string, uint16_t, std::less<>> byName = [] {
    std::map<std::string, uint16_t, std::less<>> m;
    for (uint32_t t = 0; t <= 0xFFFF; ++t) {
      const std::string_view n = edd::tagName(static_cast<uint16_t>(t));
      if (!n.empty()) m.emplace(n, static_cast<uint16_t>(t));
    }
    return m;
  }();
  if (const auto it = byName.find(name); it != byName.end()) return it->second;
  uint32_t number = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (ec != std::errc() || end != name.data() + name.size()) ADD_FAILURE() << "unknown tag " << name;
  return static_cast<uint16_t>(number);
}

void skipBlanks(std::string_view& in) {
  while (!in.empty() && (in[0] == ' ' || in[0] == '\n' || in[0] == '\t' || in[0] == '\r')) in.remove_prefix(1);
}

std::string_view word(std::string_view& in) {
  skipBlanks(in);
  std::size_t n = 0;
  if (!in.empty() && in[0] == '"') {
    n = in.find('"', 1);
    std::string_view w = in.substr(1, n - 1);
    in.remove_prefix(n + 1);
    return w;
  }
  while (n < in.size() && in[n] != ' ' && in[n] != '(' && in[n] != ')' && in[n] != '\n') ++n;
  std::string_view w = in.substr(0, n);
  in.remove_prefix(n);
  return w;
}

}  // namespace

int32_t Trees::intern(std::string_view s) {
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    if (texts_[i] == s) return static_cast<int32_t>(i);
  }
  texts_.emplace_back(s);
  return static_cast<int32_t>(texts_.size() - 1);
}

std::string_view Trees::text(int32_t index) const {
  if (index < 0 || index >= textCount()) return {};
  return texts_[static_cast<std::size_t>(index)];
}

EddNode* Trees::parse(std::string_view text) {
  std::string_view in = text;
  EddNode* root = node(in);
  skipBlanks(in);
  EXPECT_TRUE(in.empty()) << "left over: " << in;
  return root;
}

EddNode* Trees::node(std::string_view& in) {
  skipBlanks(in);
  if (in.empty() || in[0] != '(') {
    ADD_FAILURE() << "expected ( at: " << in;
    return nullptr;
  }
  in.remove_prefix(1);
  EddNode& n = nodes_.emplace_back();
  n.tag = tagNumber(word(in));
  skipBlanks(in);
  if (!in.empty() && in[0] != '(' && in[0] != ')') {
    const std::string_view v = word(in);
    if (n.tag == +edd::Tag::Identifier || n.tag == +edd::Tag::StringConstant ||
        n.tag == +edd::Tag::StringLiteral) {
      n.value = static_cast<uint32_t>(intern(v));
    } else if (n.tag == +edd::Tag::FloatConstant) {
      n.value = std::bit_cast<uint32_t>(std::stof(std::string(v)));
    } else {
      n.value = static_cast<uint32_t>(std::stoll(std::string(v), nullptr, 0));
    }
  }
  EddNode** next = &n.child;
  for (skipBlanks(in); !in.empty() && in[0] == '('; skipBlanks(in)) {
    *next = node(in);
    if (!*next) return &n;
    next = &(*next)->sibling;
  }
  if (in.empty() || in[0] != ')') {
    ADD_FAILURE() << "expected ) at: " << in;
    return &n;
  }
  in.remove_prefix(1);
  return &n;
}

void FakeModel::add(EddNode* root) { objects_[static_cast<int32_t>(root->child->value)] = root; }

void FakeModel::setVariable(std::string_view name, Entry value) { values_[trees_.intern(name)] = value; }

Entry FakeModel::variable(std::string_view name) const {
  const auto it = values_.find(trees_.intern(name));
  return it == values_.end() ? Entry{} : it->second;
}

const EddNode* FakeModel::findObject(int32_t id) const {
  const auto it = objects_.find(id);
  return it == objects_.end() ? nullptr : it->second;
}

std::optional<Entry> FakeModel::variableValue(int32_t variableId) {
  const auto it = values_.find(variableId);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool FakeModel::assignVariable(int32_t variableId, const Entry& value) {
  const auto it = values_.find(variableId);
  if (it == values_.end()) return false;
  Entry stored = value;
  convert(stored, it->second.type);
  it->second = stored;
  assignments_.push_back(std::string(trees_.text(variableId)) + " = " + show(value));
  return true;
}

std::optional<int32_t> FakeModel::resolveReference(const EddNode& reference) {
  if (reference.tag == +edd::Tag::Identifier && values_.count(static_cast<int32_t>(reference.value))) {
    return static_cast<int32_t>(reference.value);
  }
  if (reference.tag == +edd::Tag::ArrayElement && engine && reference.child &&
      engine->evaluateExpression(reference.child->sibling)) {
    Entry index = engine->stack().pop();
    convert(index, +TypeCode::Int);
    const std::string name = std::string(trees_.text(static_cast<int32_t>(reference.child->value))) + "_" +
                             std::to_string(index.asInt64());
    const int32_t id = trees_.intern(name);
    if (values_.count(id)) return id;
  }
  return std::nullopt;
}

std::string show(const Entry& e) {
  static const char* const names[] = {"char", "uchar", "short", "ushort", "int", "uint", "float", "double"};
  std::ostringstream out;
  if (e.kind != kind::Value) out << "kind " << e.kind << ' ';
  if (!isTypeCode(e.type)) {
    out << "type " << e.type << ' ' << e.bits;
    return out.str();
  }
  out << names[e.type] << ' ';
  if (e.type == +TypeCode::Float) {
    out << e.asFloat();
  } else if (e.type == +TypeCode::Double) {
    out << e.asDouble();
  } else {
    out << e.asInt64();
  }
  return out.str();
}

EngineTest::EngineTest() {
  model.engine = &engine;
  engine.builtins().add(BuiltinId::BeginWaitCursor, [this](MethodEngine&) {
    if (probe) probe();
    return 0;
  });
  engine.builtins().add(BuiltinId::abort, [](MethodEngine& e) {
    e.stack().push(Entry::ofInt(1));
    return -2;
  });
  engine.builtins().add(BuiltinId::add_abort_method, [](MethodEngine& e) {
    e.addAbortMethod(popReference(e).word());
    return 0;
  });
}

const EddNode* EngineTest::method(std::string_view name, std::string_view body) {
  EddNode* root = trees.parse("(method (identifier " + std::string(name) + ") (method-definition " +
                              std::string(body) + "))");
  model.add(root);
  return root;
}

void EngineTest::variable(std::string_view name, Entry value) {
  model.add(trees.parse("(variable (identifier " + std::string(name) + "))"));
  model.setVariable(name, value);
}

int EngineTest::run(std::string_view body) {
  const EddNode* root = method("method_under_test", body);
  const int32_t depth = engine.stack().depth();
  const int result = engine.runMethod(*root);
  EXPECT_EQ(engine.stack().depth(), depth);
  EXPECT_EQ(engine.program().next(), 0);
  EXPECT_EQ(engine.symbols().count(), 0);
  EXPECT_EQ(engine.methodLevel(), 0);
  return result;
}

std::string EngineTest::evaluate(std::string_view specifier) {
  const int32_t depth = engine.stack().depth();
  const int32_t next = engine.program().next();
  const bool ok = engine.evaluateSpecifier(trees.parse(specifier));
  EXPECT_EQ(engine.program().next(), next);
  EXPECT_EQ(engine.stack().depth(), depth + (ok ? 1 : 0));
  return ok ? show(engine.stack().pop()) : "none";
}

}  // namespace tavrin::methods::testing
