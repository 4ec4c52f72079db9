// Committing typed values, and export and import of parameter sets, on a
// description loaded without a bus; then both through a connected session.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/edit_commit.h"
#include "app/parameter_file.h"
#include "app/polling.h"
#include "app/session.h"
#include "model/session.h"
#include "program_folder.h"
#include "scripted_menus.h"
#include "testing/edd_fixture.h"
#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using Lines = std::vector<std::string>;
using testing::MenuScript;

constexpr const char* kEditing = R"(
  list 0
    variable
      identifier "code"
      type
        unsigned-integer
          integer-constant 2
          display-format
            direct
              string
                string-literal "04X"
    variable
      identifier "word"
      type
        integer
          integer-constant 4
          display-format
            direct
              string
                string-literal "X"
    variable
      identifier "unit"
      edit-actions-291
        direct
          method-reference
            identifier "count_edit"
      type
        enumerated
          integer-constant 2
          initial-value
            expression
              integer-constant 1137
          enumerators
            direct
              enumerator
                integer-constant 1137
                direct
                  string
                    string-literal "bar"
              enumerator
                integer-constant 1133
                direct
                  string
                    string-literal "kPa"
    variable
      identifier "low"
      type
        float
          display-format
            direct
              string
                string-literal "8.3f"
    variable
      identifier "precise"
      type
        double
    variable
      identifier "byte"
      label
        direct
          string
            string-literal "Byte"
      type
        unsigned-integer
          integer-constant 1
    variable
      identifier "edits"
      type
        unsigned-integer
          integer-constant 1
    variable
      identifier "tag"
      type
        text-string
          integer-constant 8
    variable
      identifier "alarms"
      type
        bit-enumerated
          integer-constant 1
  list 14
    method
      identifier "count_edit"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "edits"
                integer-constant 7
  list 20
    unit-relation
      identifier "pressure_units"
      unit-references
        unit-item
          identifier "unit"
      unit-dependents
        unit-item
          identifier "low"
        unit-item
          identifier "precise"
)";

TEST(HexEntry, ReadsThePrefixedDigitsAndNothingElse) {
  EXPECT_EQ(hexEntryToDecimal("0xFF", false), "255");
  EXPECT_EQ(hexEntryToDecimal("0Xff;", false), "255");
  EXPECT_EQ(hexEntryToDecimal("255", false), "0");
  EXPECT_EQ(hexEntryToDecimal("0x", false), "0");
  EXPECT_EQ(hexEntryToDecimal("0xFFFFFFFF", false), "4294967295");
  EXPECT_EQ(hexEntryToDecimal("0xFFFFFFFF", true), "-1");
  EXPECT_EQ(hexEntryToDecimal("0x1FFFFFFFFFFFFFFFFFFFF", true), "4294967296") << "held by no variable";
}

class Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("editing.bin", tavrin::testing::assembleEdd(kEditing));
    ASSERT_TRUE(model.loadDescription(dir.file("editing.bin")));
    model.registerVariables();
  }
  int32_t id(std::string_view name) const { return model.description().findId(name); }
  std::string value(std::string_view name) { return model.variables().valueText(id(name)); }
  std::string status(std::string_view name) { return model.variables().format(id(name), false)->status; }
  bool commit(std::string_view name, std::string_view text) { return commitValue(model, id(name), text); }
  double number(std::string_view name) { return model.variables().value(id(name))->numeric(); }

  ui::FakeUserInterface ui;
  tavrin::testing::TempDir dir;
  model::Session model{ui, TAVRIN_DIST_DIR};
};

TEST_F(Editing, HexadecimalFormatsTakeThePrefixedFormOnly) {
  EXPECT_TRUE(commit("code", "0xFF"));
  EXPECT_EQ(value("code"), "0x00FF");
  EXPECT_TRUE(commit("code", "255"));
  EXPECT_EQ(value("code"), "0x0000");
  EXPECT_TRUE(commit("word", " 0xFFFFFFFE"));
  EXPECT_EQ(number("word"), -2) << "a signed value is typed as it is shown";
  EXPECT_TRUE(ui.errors().empty());
  EXPECT_FALSE(commit("code", "0x10000"));
  EXPECT_EQ(value("code"), "0x0000");
  EXPECT_EQ(ui.errors(), Lines{"Error: The variable \"\" is out of range!"});
}

TEST_F(Editing, AValueTheTypeCannotHoldChangesNothing) {
  EXPECT_FALSE(commit("byte", "300"));
  EXPECT_EQ(ui.errors(), Lines{"Error: The variable \"Byte\" is out of range!"});
  EXPECT_EQ(value("byte"), "0");
  EXPECT_EQ(status("byte"), "Initial value");
  EXPECT_TRUE(commit("byte", "200"));
  EXPECT_EQ(value("byte"), "200");
  EXPECT_EQ(status("byte"), "Changed");
}

TEST_F(Editing, AUnitChangeConvertsItsDependentsAndRunsTheEditActions) {
  model.variables().assign(id("low"), methods::Entry::ofFloat(2.5f));
  model.variables().assign(id("precise"), methods::Entry::ofDouble(1.23456789012345));
  EXPECT_TRUE(commit("unit", "kPa"));
  EXPECT_EQ(value("low"), " 250.000");
  EXPECT_DOUBLE_EQ(number("precise"), 123.456789012345) << "a double is not narrowed through a float";
  EXPECT_EQ(value("edits"), "7");
  EXPECT_TRUE(ui.errors().empty());

  EXPECT_FALSE(commit("unit", "furlong"));
  EXPECT_EQ(value("unit"), "kPa");
  EXPECT_EQ(value("low"), " 250.000");
  EXPECT_EQ(ui.errors(), Lines{"Error: The text \"furlong\" matches no enumerator of the variable \"unit\"!"});
}

TEST_F(Editing, ExportThenImportGivesTheShownValuesBack) {
  dir.write("set.txt", "[OTHER]\nKEEP=1\n[CONFIG_VARIABLES]\ncode=stale\n");
  const std::string file = dir.file("set.txt");
  model.variables().assign(id("low"), methods::Entry::ofFloat(1.23456f));
  EXPECT_TRUE(commit("code", "0xABCD"));
  EXPECT_TRUE(commit("word", "0xFFFFFFFE"));
  EXPECT_TRUE(model.variables().assignText(id("tag"), "a\nb"));
  EXPECT_TRUE(model.variables().assignText(id("alarms"), "5"));
  ASSERT_TRUE(exportParameters(model, file));
  const std::string text = dir.read("set.txt");
  EXPECT_NE(text.find("[OTHER]\nKEEP=1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("code=0xABCD\n"), std::string::npos) << text;
  EXPECT_NE(text.find("tag=a\\nb\n"), std::string::npos) << text;

  for (const char* name : {"code", "word", "alarms", "byte"}) model.variables().assignText(id(name), "9");
  model.variables().assignText(id("tag"), "x");
  for (auto& e : model.symbols().entries()) e.state = model::ValueState::Loaded;
  ASSERT_TRUE(importParameters(model, file)) << ::testing::PrintToString(ui.errors());
  EXPECT_EQ(value("code"), "0xABCD");
  EXPECT_EQ(number("word"), -2);
  EXPECT_EQ(value("alarms"), "0x5");
  EXPECT_EQ(value("byte"), "0");
  EXPECT_EQ(value("tag"), "a\nb");
  EXPECT_FLOAT_EQ(static_cast<float>(number("low")), 1.235f) << "rounded to the shown digits";
  for (const auto& e : model.symbols().entries())
    EXPECT_EQ(e.state, model::ValueState::Changed) << model.description().nameById(e.id);
  EXPECT_TRUE(ui.errors().empty());
}

TEST_F(Editing, MissingKeysReadAsEmptyButAMissingFileIsRefused) {
  model.variables().assignText(id("byte"), "12");
  EXPECT_FALSE(importParameters(model, dir.file("absent.txt")));
  EXPECT_EQ(ui.errors(), Lines{"Error: " + dir.file("absent.txt") + " file cannot be read!"});
  EXPECT_EQ(value("byte"), "12");

  ui.clearRecord();
  dir.write("part.txt", "[CONFIG_VARIABLES]\nunit=kPa\ntag=NULL\n");
  EXPECT_TRUE(importParameters(model, dir.file("part.txt"))) << ::testing::PrintToString(ui.errors());
  EXPECT_EQ(value("byte"), "0");
  EXPECT_EQ(status("byte"), "Changed");
  EXPECT_EQ(value("unit"), "kPa");
  EXPECT_EQ(value("tag"), "");

  EXPECT_FALSE(exportParameters(model, dir.file("no/such/folder/set.txt")));
  EXPECT_EQ(ui.errors().back(), "Error: " + dir.file("no/such/folder/set.txt") + " file cannot be written!");
}

// The table's own way: a connected session over tavrin-sim.
class EditingSession : public ::testing::Test {
 protected:
  EditingSession() {
    for (const char* library : {"Profibus", "Modbus"}) {
      std::filesystem::remove_all(folder.file(library));
      std::filesystem::create_directories(folder.file(library));
    }
    std::filesystem::remove(folder.file("pw.bin"));
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=MODBUS\nPORT=91\nBANDRATE=19200\nDATABITS=8\nPARITY=2\n"
                            "STOPBITS=0\nFLOWCTRL=0\n[MODBUS_ADDR]\nADDRESS=1\n");
    folder.write("Modbus/00170A0101020001.bin", tavrin::testing::assembleEdd(testing::kSampleDescription));
    script.menus["Table_Main_Specialist"] = {MenuScript::item("pressure"), MenuScript::item("damping"),
                                            MenuScript::item("mode", kQualifierReadOnly)};
    script.menus["Menu_Main_Specialist"] = {MenuScript::item("damping")};
    session.setPause([](std::chrono::milliseconds) {});
  }
  void SetUp() override {
    ASSERT_TRUE(sim.ready());
    session.start();
    ui.select(0);
    ASSERT_TRUE(session.connect()) << ::testing::PrintToString(ui.transcript());
    ui.clearRecord();
  }
  int rowOf(const std::string& label) const {
    const auto& rows = session.view().table().rows;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].cells[0].text == label) return static_cast<int>(i) + 1;
    return -1;
  }
  const Cell& cell(const std::string& label, int column) const {
    return session.view().table().rows.at(static_cast<size_t>(rowOf(label) - 1)).cells[static_cast<size_t>(column)];
  }

  testing::TestProgramFolder& folder = testing::realDrivers();
  testing::Simulator sim{"modbus", folder.portLink(91), TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini"};
  ui::FakeUserInterface ui;
  testing::MenuScript script;
  DeviceSession session{folder.files(), ui,
                        [this](model::Session& m) { return std::make_unique<testing::ScriptedMenus>(m, script); }};
  EditCommit edits{session};
  ParameterFiles files{session};
};

TEST_F(EditingSession, CellsTakeWhatTheTableLetsThemTake) {
  ASSERT_GT(rowOf("Damping"), 0);
  EXPECT_TRUE(edits.commitRow(rowOf("Damping"), "2.5"));
  EXPECT_EQ(cell("Damping", 1).text, "2.500000");
  EXPECT_EQ(cell("Damping", 3).text, "Changed");
  EXPECT_EQ(cell("Damping", 3).foreground, kChangedForeground);

  session.view().setValueText(rowOf("Damping"), "1e39");
  EXPECT_FALSE(edits.commitRow(rowOf("Damping"), "1e39"));
  EXPECT_EQ(cell("Damping", 1).text, "2.500000") << "the stored value is put back";
  EXPECT_FALSE(edits.commitRow(rowOf("Pressure"), "1"));
  EXPECT_FALSE(edits.commitVariable("mode", "Square root")) << "read-only in this table";
  EXPECT_FALSE(edits.commitVariable("nothing", "1"));
  EXPECT_EQ(ui.errors(), (Lines{"Error: The variable \"Damping\" is out of range!",
                                "Error: The variable \"pressure\" is read-only!",
                                "Error: The variable \"mode\" is read-only!",
                                "Error: The variable \"nothing\" couldn't be found."}));
  EXPECT_FALSE(edits.busy());

  ASSERT_TRUE(session.enterFunctionView());
  EXPECT_TRUE(edits.commitVariable("mode", "Square root")) << "no row here limits it";
  EXPECT_EQ(session.model().variables().valueText(session.model().description().findId("mode")), "Square root");
}

TEST_F(EditingSession, ImportShowsTheParameterTableAgainAndAddressesAreChosen) {
  const std::string file = folder.file("set.txt");
  std::filesystem::remove(file);
  ASSERT_TRUE(edits.commitVariable("damping", "2.5"));
  ASSERT_TRUE(files.exportTo(file));
  EXPECT_EQ(files.currentFile(), file);
  ASSERT_TRUE(edits.commitVariable("damping", "7"));
  session.selectTreeItem(0);
  ASSERT_TRUE(files.importFrom(file)) << ::testing::PrintToString(ui.errors());
  EXPECT_EQ(cell("Damping", 1).text, "2.500000");
  EXPECT_EQ(cell("Damping", 3).text, "Changed");
  EXPECT_EQ(session.view().tree().selected(), 0);

  EXPECT_TRUE(setAddress(session, " 12 "));
  EXPECT_EQ(session.busAddress(), 12);
  EXPECT_EQ(readBusAddress(folder.comIni(), CommunicationType::Modbus), 12);
  EXPECT_FALSE(setAddress(session, "300"));
  EXPECT_EQ(session.busAddress(), 12);

  ASSERT_TRUE(session.enterFunctionView());
  ui.clearRecord();
  EXPECT_FALSE(files.exportTo(file));
  EXPECT_EQ(ui.errors(), Lines{"Error: The operation can only be operated in parameter table!"});
}

}  // namespace
}  // namespace tavrin::app
