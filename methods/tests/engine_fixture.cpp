#include "engine_fixture.h"

#include <sstream>

#include "edd/tags.h"

namespace tavrin::methods::testing {

void FakeModel::attach(const tavrin::testing::EddFixture* description) {
  description_ = description;
  values_.clear();
  assignments_.clear();
}

void FakeModel::setVariable(std::string_view name, Entry value) {
  const int32_t id = description_ ? description_->textIndex(name) : -1;
  ASSERT_TRUE(isVariable(id)) << "no variable " << name;
  values_[id] = value;
}

Entry FakeModel::variable(std::string_view name) const {
  const auto it = values_.find(description_ ? description_->textIndex(name) : -1);
  return it == values_.end() ? Entry{} : it->second;
}

std::string_view FakeModel::text(int32_t index) const { return description_ ? description_->text(index) : ""; }

const EddNode* FakeModel::findObject(int32_t id) const {
  if (!description_ || id < 0) return nullptr;
  for (int list = 0; list < EDD_LIST_COUNT; ++list) {
    for (const EddElement* e : description_->list(list)) {
      if (e->id == id) return e->root;
    }
  }
  return nullptr;
}

bool FakeModel::isVariable(int32_t id) const {
  const EddNode* root = findObject(id);
  return root && root->tag == +edd::Tag::Variable;
}

std::optional<Entry> FakeModel::variableValue(int32_t variableId) {
  if (!isVariable(variableId)) return std::nullopt;
  return values_[variableId];
}

bool FakeModel::assignVariable(int32_t variableId, const Entry& value) {
  if (!isVariable(variableId)) return false;
  Entry& stored = values_[variableId];
  const int32_t type = stored.type;
  stored = value;
  convert(stored, type);
  assignments_.push_back(std::string(text(variableId)) + " = " + show(value));
  return true;
}

std::optional<int32_t> FakeModel::resolveReference(const EddNode& reference) {
  if (reference.tag == +edd::Tag::Identifier && isVariable(static_cast<int32_t>(reference.value))) {
    return static_cast<int32_t>(reference.value);
  }
  if (reference.tag == +edd::Tag::ArrayElementRef && engine && reference.child &&
      engine->evaluateExpression(reference.child->sibling)) {
    Entry index = engine->stack().pop();
    convert(index, +TypeCode::Int);
    const std::string name =
        std::string(text(static_cast<int32_t>(reference.child->value))) + "_" + std::to_string(index.asInt64());
    const int32_t id = description_->textIndex(name);
    if (isVariable(id)) return id;
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

std::string Tree::render(int depth) const {
  std::string s = std::string(static_cast<std::size_t>(depth) * 2, ' ') + line + "\n";
  for (const Tree& c : children) s += c.render(depth + 1);
  return s;
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

void EngineTest::load(std::string_view text) {
  model.attach(nullptr);
  description = std::make_unique<tavrin::testing::EddFixture>(text);
  model.attach(description.get());
}

int EngineTest::run(std::string_view method) {
  const EddElement* object = description ? description->object(method) : nullptr;
  EXPECT_NE(object, nullptr) << "no method " << method;
  if (!object) return -1;
  const int32_t depth = engine.stack().depth();
  const int32_t next = engine.program().next();
  const int result = engine.runMethod(*object->root);
  EXPECT_EQ(engine.stack().depth(), depth);
  EXPECT_EQ(engine.program().next(), next);
  EXPECT_EQ(engine.symbols().count(), 0);
  EXPECT_EQ(engine.methodLevel(), 0);
  return result;
}

std::string EngineTest::evaluate(std::string_view name) {
  const EddElement* object = description ? description->object(name) : nullptr;
  EXPECT_NE(object, nullptr) << "no object " << name;
  if (!object) return "no object";
  const int32_t depth = engine.stack().depth();
  const int32_t next = engine.program().next();
  const bool ok = engine.evaluateSpecifier(tavrin::testing::child(object->root, 1));
  EXPECT_EQ(engine.program().next(), next);
  EXPECT_EQ(engine.stack().depth(), depth + (ok ? 1 : 0));
  return ok ? show(engine.stack().pop()) : "none";
}

}  // namespace tavrin::methods::testing
