// What the engine's tests share: a fake of the description model over
// readable trees, a scripted user interface, and an engine between them.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "methods/engine.h"
#include "ui/fake_user_interface.h"

namespace tavrin::methods::testing {

// Trees written as (tag-name value children...): tag names as in the shared
// tag list (or numbers); identifiers and string constants take a word or a
// quoted text (interned into the text table), integer and float constants a
// number.
class Trees {
 public:
  EddNode* parse(std::string_view text);
  int32_t intern(std::string_view s);
  std::string_view text(int32_t index) const;
  int32_t textCount() const { return static_cast<int32_t>(texts_.size()); }

 private:
  EddNode* node(std::string_view& in);
  std::deque<EddNode> nodes_;
  std::vector<std::string> texts_;
};

// The description model as the engine sees it: objects by id, device
// variables with a current value, and a record of every assignment.
class FakeModel : public MethodModel {
 public:
  explicit FakeModel(Trees& trees) : trees_(trees) {}

  // Registers an object tree under the id of its first child (an identifier).
  void add(EddNode* root);
  void setVariable(std::string_view name, Entry value);
  Entry variable(std::string_view name) const;
  std::vector<std::string> assignments() const { return assignments_; }
  // Array element references (240) resolve to the variable named
  // <array>_<index>, the index evaluated through this engine.
  MethodEngine* engine = nullptr;

  std::string_view text(int32_t index) const override { return trees_.text(index); }
  const EddNode* findObject(int32_t id) const override;
  std::optional<Entry> variableValue(int32_t variableId) override;
  bool assignVariable(int32_t variableId, const Entry& value) override;
  std::optional<int32_t> resolveReference(const EddNode& reference) override;

 private:
  Trees& trees_;
  std::map<int32_t, const EddNode*> objects_;
  std::map<int32_t, Entry> values_;
  std::vector<std::string> assignments_;
};

// A value in a readable form for assertions: "int 3", "float 3.5", "uint 4294967293".
std::string show(const Entry& e);

class EngineTest : public ::testing::Test {
 protected:
  // Stand-ins for three built-ins: BeginWaitCursor() calls `probe`, so a
  // test can look at the engine in the middle of a run; abort() aborts;
  // add_abort_method(m) registers m.
  EngineTest();

  ui::FakeUserInterface ui;
  Trees trees;
  FakeModel model{trees};
  MethodEngine engine{ui, model};
  std::function<void()> probe;

  // A METHOD object named `name` whose body is the compound statement `body`.
  const EddNode* method(std::string_view name, std::string_view body);
  // A device variable holding `value`.
  void variable(std::string_view name, Entry value);
  // Runs a method with this body; returns its result (1 or 0).
  int run(std::string_view body);
  // Evaluates a description expression or conditional value and returns
  // what it left ("none" when nothing).
  std::string evaluate(std::string_view specifier);
  Entry var(std::string_view name) const { return model.variable(name); }
  std::vector<std::string> errors() const { return ui.errors(); }
};

}  // namespace tavrin::methods::testing
