// What the engine's tests share: descriptions written in the readable form
// and loaded through the real loader, a fake of the description model over
// them, a scripted user interface, and an engine between them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "methods/engine.h"
#include "testing/edd_fixture.h"
#include "ui/fake_user_interface.h"

namespace tavrin::methods::testing {

// The description model as the engine sees it: the objects of a loaded
// description, its VARIABLE objects as device variables with a current value
// (int 0 until a test sets one), and a record of every assignment.
class FakeModel : public MethodModel {
 public:
  void attach(const tavrin::testing::EddFixture* description);
  void setVariable(std::string_view name, Entry value);
  Entry variable(std::string_view name) const;
  const std::vector<std::string>& assignments() const { return assignments_; }
  // Array element references (array-element-ref) resolve to the variable
  // named <array>_<index>, the index evaluated through this engine.
  MethodEngine* engine = nullptr;

  std::string_view text(int32_t index) const override;
  const EddNode* findObject(int32_t id) const override;
  std::optional<Entry> variableValue(int32_t variableId) override;
  bool assignVariable(int32_t variableId, const Entry& value) override;
  std::optional<int32_t> resolveReference(const EddNode& reference) override;

 private:
  bool isVariable(int32_t id) const;
  const tavrin::testing::EddFixture* description_ = nullptr;
  std::map<int32_t, Entry> values_;
  std::vector<std::string> assignments_;
};

// A value in a readable form for assertions: "int 3", "float 3.5", "uint 4294967293".
std::string show(const Entry& e);

// Generated trees in the readable form: a node line and its children,
// rendered with the children indented under it.
struct Tree {
  std::string line;
  std::vector<Tree> children{};
  std::string render(int depth = 0) const;
};

class EngineTest : public ::testing::Test {
 protected:
  // Stand-ins for three built-ins: BeginWaitCursor() calls `probe`, so a
  // test can look at the engine in the middle of a run; abort() aborts;
  // add_abort_method(m) registers m.
  EngineTest();

  // Loads a description in the readable form.
  void load(std::string_view description);
  // Runs the METHOD object of that name and checks that it left the stack,
  // the program space and the locals as it found them; returns its result.
  int run(std::string_view method);
  // Evaluates the conditional value that is the second child of the object
  // of that name, and returns what it left ("none" when nothing).
  std::string evaluate(std::string_view object);
  Entry var(std::string_view name) const { return model.variable(name); }
  const std::vector<std::string>& assignments() const { return model.assignments(); }
  std::vector<std::string> errors() const { return ui.errors(); }

  ui::FakeUserInterface ui;
  FakeModel model;
  MethodEngine engine{ui, model};
  std::function<void()> probe;
  std::unique_ptr<tavrin::testing::EddFixture> description;
};

}  // namespace tavrin::methods::testing
