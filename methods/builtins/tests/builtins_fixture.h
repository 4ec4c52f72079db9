// What the built-ins' tests share: a description written in EDDL, compiled
// and loaded into a real description model in a program folder of the
// test's own, the built-ins installed over it, a scripted user interface, a
// scripted Modbus link and a recording host.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "builtins/builtins.h"
#include "fake_communication.h"
#include "model/session.h"
#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::builtins::testing {

class RecordingHost : public MethodHost {
 public:
  void setBusAddress(uint8_t address) override { calls.push_back("address " + std::to_string(address)); }
  bool setBaudRate(int32_t rate) override {
    calls.push_back("baud " + std::to_string(rate));
    return rate == 19200;
  }
  bool runBatchCalibration(BatchCalibration which) override {
    calls.push_back(which == BatchCalibration::Linearization ? "linearization" : "temperature compensation");
    return calibrations;
  }
  bool calibrations = false;  // whether the program has the dialogs
  std::vector<std::string> calls;
};

// Variables every test description has: pressure (float shown "%3.1f"),
// count (unsigned), unit (enumerated kPa 1133, MPa 1132, bar 1137), serial
// and tag (ASCII 8), note (ASCII 32), and the Modbus commands read_serial (function 3 at
// 0x100), read_pressure (function 4 at 0) and write_unit (function 6 at 0).
extern const char* const kCommonDescription;

class BuiltinsTest : public ::testing::Test {
 protected:
  BuiltinsTest();
  // Loads the common description followed by `methods`.
  void load(std::string_view methods);
  // Runs the METHOD of that name: 1, or 0 when it ended with an error.
  int run(std::string_view method);
  int32_t id(std::string_view name) const;
  std::string shown(std::string_view name);
  void setText(std::string_view name, std::string_view text);
  std::vector<std::string> errors() const { return ui.errors(); }
  std::vector<std::string> messages() const { return ui.messages(); }

  ui::FakeUserInterface ui;
  tavrin::testing::TempDir folder;
  model::Session session;
  model::testing::FakeCommunication link;
  RecordingHost host;
  Builtins builtins{session, &host};
};

}  // namespace tavrin::builtins::testing
