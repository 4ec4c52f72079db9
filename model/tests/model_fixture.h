// What the model's tests share: a session over the real loader of this
// build, descriptions written in the readable tree form, and a scripted user
// interface whose record the tests compare word for word.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/session.h"
#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::model::testing {

class ModelHarness {
 public:
  // Writes the description as a file, loads it and registers its variables.
  // False when the load failed.
  bool load(std::string_view description);
  // Just the file, for tests that load it themselves.
  std::string write(std::string_view description, const std::string& fileName = "device.bin");

  int32_t id(std::string_view name) const { return session.description().findId(name); }
  SymbolEntry* entry(std::string_view name) { return session.symbols().find(id(name)); }
  Variables& vars() { return session.variables(); }
  // The display texts without a device read ("<no variable>" when none).
  std::string value(std::string_view name);
  std::string unit(std::string_view name);
  std::string status(std::string_view name);
  // The variable's bytes in value memory, in hexadecimal ("3F 80 00 00").
  std::string bytes(std::string_view name);
  bool assign(std::string_view name, const methods::Entry& v) { return vars().assign(id(name), v); }
  bool assignText(std::string_view name, std::string_view text) { return vars().assignText(id(name), text); }
  std::vector<std::string> errors() const { return ui.errors(); }
  // The errors so far, forgotten afterwards.
  std::vector<std::string> takeErrors();

  ui::FakeUserInterface ui;
  tavrin::testing::TempDir dir;
  Session session{ui, TAVRIN_DIST_DIR};
};

class ModelTest : public ::testing::Test, public ModelHarness {};

}  // namespace tavrin::model::testing
