// Compiled sources do what their text says once the method engine compiles
// and runs them: method bodies with every statement, calls of built-ins and
// methods with their arguments, and description expressions in IF and
// SELECT forms. The description goes the whole way: source, compiler,
// description file, the real loader, the engine.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "edd/tags.h"
#include "eddl/compiler.h"
#include "eddtext/text_form.h"
#include "methods/builtins.h"
#include "methods/engine.h"
#include "testing/edd_fixture.h"
#include "ui/fake_user_interface.h"

namespace tavrin::eddl {
namespace {

using methods::Entry;
using methods::MethodEngine;
using testing::EddFixture;

std::string show(const Entry& e) {
  std::ostringstream out;
  if (e.type == +methods::TypeCode::Float) {
    out << e.asFloat();
  } else if (e.type == +methods::TypeCode::Double) {
    out << e.asDouble();
  } else {
    out << e.asInt64();
  }
  return out.str();
}

// Device variables as the engine sees them: a value per VARIABLE object,
// float for FLOAT variables and int for the rest, and a record of every
// assignment.
class Model : public methods::MethodModel {
 public:
  const EddFixture* edd = nullptr;
  std::map<int32_t, Entry> values;
  std::vector<std::string> assignments;

  std::string_view text(int32_t index) const override { return edd->text(index); }
  const EddNode* findObject(int32_t id) const override {
    for (int list = 0; list < EDD_LIST_COUNT; ++list) {
      for (const EddElement* e : edd->list(list)) {
        if (e->id == id) return e->root;
      }
    }
    return nullptr;
  }
  int32_t typeOf(int32_t id) const {
    const EddNode* root = findObject(id);
    if (!root || root->tag != +edd::Tag::Variable) return -1;
    for (const EddNode* a = root->child; a; a = a->sibling) {
      if (a->tag == +edd::Tag::Type && a->child && a->child->tag == +edd::Tag::Float) return +methods::TypeCode::Float;
    }
    return +methods::TypeCode::Int;
  }
  std::optional<Entry> variableValue(int32_t id) override {
    const int32_t type = typeOf(id);
    if (type < 0) return std::nullopt;
    auto [it, added] = values.try_emplace(id, type == +methods::TypeCode::Float ? Entry::ofFloat(0) : Entry::ofInt(0));
    return it->second;
  }
  bool assignVariable(int32_t id, const Entry& value) override {
    const int32_t type = typeOf(id);
    if (type < 0) return false;
    Entry stored = value;
    methods::convert(stored, type);
    values[id] = stored;
    assignments.push_back(std::string(text(id)) + " = " + show(stored));
    return true;
  }
  std::optional<int32_t> resolveReference(const EddNode& reference) override {
    if (reference.tag == +edd::Tag::Identifier && typeOf(static_cast<int32_t>(reference.value)) >= 0) {
      return static_cast<int32_t>(reference.value);
    }
    return std::nullopt;
  }
};

class CompiledInEngine : public ::testing::Test {
 protected:
  void load(std::string_view source) {
    const Compiled compiled = compile(source);
    ASSERT_TRUE(compiled.document) << compiled.report("source");
    edd = std::make_unique<EddFixture>(eddtext::dumpText(*compiled.document));
    model.edd = edd.get();
  }
  int run(std::string_view method) {
    const EddElement* e = edd->object(method);
    EXPECT_NE(e, nullptr) << method;
    return e ? engine.runMethod(*e->root) : -1;
  }
  void set(std::string_view variable, Entry value) { model.values[edd->textIndex(variable)] = value; }
  // The value of an attribute's expression: IF, SELECT or direct.
  std::string evaluate(std::string_view variable, uint16_t attributeTag) {
    const EddElement* e = edd->object(variable);
    const EddNode* attribute = nullptr;
    for (const EddNode* a : testing::children(e->root)) {
      if (a->tag == attributeTag) attribute = a;
      if (a->tag == +edd::Tag::Type) {
        for (const EddNode* t : testing::children(a->child)) {
          if (t->tag == attributeTag) attribute = t;
        }
      }
    }
    EXPECT_NE(attribute, nullptr);
    if (!attribute || !engine.evaluateSpecifier(attribute->child)) return "none";
    return show(engine.stack().pop());
  }

  ui::FakeUserInterface ui;
  Model model;
  MethodEngine engine{ui, model};
  std::unique_ptr<EddFixture> edd;
};

TEST_F(CompiledInEngine, StatementsRunAsWritten) {
  load(R"(
    VARIABLE out { TYPE INTEGER (4); }
    METHOD loops {
      DEFINITION {
        int i, n, a[2][3][4][5];
        // The step never runs: continue goes back to the condition.
        for (i = 0; i < 3; i = i + 10) { i = i + 1; n++; continue; }
        out = n;
        n = 0;
        while (n < 10) { n += 3; if (n == 6) continue; if (n > 7) break; }
        out = n;
        do n--; while (n > 5);
        out = n;
        a[1][2][3][4] = 77;
        out = a[1][2][3][4] + a[1][2][3][3];
        out = n++ * 100 + n;
        out = ++n * 100 + n--;
        i = 13; i *= 3; i /= 2; i %= 7; i += 10; i -= 1; i <<= 2; i >>= 1; i &= 0xFE; i |= 1; i ^= 3;
        out = i;
        out = (1 < 2) + (2 <= 2) * 2 + (3 > 4) * 4 + (4 >= 4) * 8 + (1 == 1) * 16 + (1 != 1) * 32;
        i = (0 || 3) + (2 && 0) * 2 + (6 & 3) * 10 + (6 | 1) * 100 + (6 ^ 3) * 1000 + -(~0) + !5 + (1 << 4) + (256 >> 4);
        out = i;
        if (i == 0) out = 1; else if (i > 1000) out = -1; else out = 2;
      }
    }
    METHOD choices {
      DEFINITION {
        int k, c;
        for (k = -2; k <= 9; k++) {
          c = 0;
          switch (k) {
            case -2: c = 1; break;
            case 10 - 2: c = 8; break;
            case 3 * 3: c = 9;
            default: c += 100; c += 1000;
            case 1: c = 5;
          }
          out = c;
        }
      }
    }
  )");
  EXPECT_EQ(run("loops"), 1);
  EXPECT_EQ(model.assignments, (std::vector<std::string>{"out = 3", "out = 9", "out = 5", "out = 77", "out = 506",
                                                         "out = 707", "out = 30", "out = 27", "out = 5754",
                                                         "out = -1"}));
  model.assignments.clear();
  EXPECT_EQ(run("choices"), 1);
  // A default before a case hides that case; after the default's first
  // statement the switch is left.
  EXPECT_EQ(model.assignments,
            (std::vector<std::string>{"out = 1", "out = 100", "out = 100", "out = 100", "out = 100", "out = 100",
                                      "out = 100", "out = 100", "out = 100", "out = 100", "out = 8", "out = 109"}));
  EXPECT_TRUE(ui.errors().empty()) << ui.errors().front();
}

TEST_F(CompiledInEngine, BuiltinsAndMethodsTakeTheirArguments) {
  std::vector<std::string> seen;
  engine.builtins().add(methods::BuiltinId::PUT_MESSAGE, [&](MethodEngine& e) {
    seen.push_back(methods::popString(e).value_or("(none)"));
    return 0;
  });
  engine.builtins().add(methods::BuiltinId::iassign, [&](MethodEngine& e) {
    const Entry value = methods::popValue(e);
    const Entry target = methods::popReference(e);
    e.model().assignVariable(target.word(), value);
    e.stack().push(Entry::ofInt(1));
    return 0;
  });
  engine.builtins().add(methods::BuiltinId::add_abort_method, [](MethodEngine& e) {
    e.addAbortMethod(methods::popReference(e).word());
    return 0;
  });
  engine.builtins().add(methods::BuiltinId::abort, [](MethodEngine& e) {
    e.stack().push(Entry::ofInt(1));
    return -2;
  });
  load(R"(
    VARIABLE level { TYPE FLOAT; }
    VARIABLE count { TYPE UNSIGNED_INTEGER (2); }
    METHOD cleanup { DEFINITION { PUT_MESSAGE("cleaned up"); } }
    METHOD inner { DEFINITION { int k; k = 6; count = k + 1; } }
    METHOD main {
      DEFINITION {
        char text[4];
        add_abort_method(cleanup);
        PUT_MESSAGE("Hello, " "world");
        text[0] = 'O'; text[1] = 'K';
        PUT_MESSAGE(text);
        iassign(level, 2.5 * 2);
        inner();
        abort();
        PUT_MESSAGE("never");
      }
    }
  )");
  EXPECT_EQ(run("main"), 1);  // aborted, and its abort method succeeded
  EXPECT_EQ(seen, (std::vector<std::string>{"Hello, world", "OK", "cleaned up"}));
  EXPECT_EQ(model.assignments, (std::vector<std::string>{"level = 5", "count = 7"}));
  EXPECT_TRUE(ui.errors().empty()) << ui.errors().front();
}

TEST_F(CompiledInEngine, ConditionalAttributeValuesFollowTheDevice) {
  load(R"(
    VARIABLE mode { TYPE UNSIGNED_INTEGER (1); }
    VARIABLE limit {
      TYPE FLOAT {
        MIN_VALUE SELECT (mode) { CASE 1 + 1: 5; CASE 3: IF (mode * 2 == 6) { -1.5; } DEFAULT: mode * 2.5; }
        MAX_VALUE (mode << 4) + (mode >> 1) - mode % 2 + (mode | 8) - (mode & 1) + (mode ^ 1) + !mode + ~mode + -mode;
      }
      DEFAULT_VALUE IF (mode == 1) { 10; } ELSE IF (mode == 2 || mode > 4 && mode != 7) { 20; } ELSE { 30; }
    }
  )");
  const uint16_t minimum = +edd::Tag::MinValue, maximum = +edd::Tag::MaxValue, fallback = +edd::Tag::DefaultValue;
  std::vector<std::string> seen;
  for (const int mode : {1, 2, 3, 5, 7}) {
    set("mode", Entry::ofUnsigned(static_cast<uint32_t>(mode)));
    seen.push_back(evaluate("limit", minimum) + " " + evaluate("limit", maximum) + " " + evaluate("limit", fallback));
  }
  // mode 1: 16 + 0 - 1 + 9 - 1 + 0 + 0 + 0xFFFFFFFE + 0xFFFFFFFF, wrapping
  // at 32 bits since mode is unsigned.
  EXPECT_EQ(seen, (std::vector<std::string>{"2.5 20 10", "5 41 20", "-1.5 53 30", "12.5 86 20", "17.5 119 30"}));
  EXPECT_TRUE(ui.errors().empty()) << ui.errors().front();
}

}  // namespace
}  // namespace tavrin::eddl
